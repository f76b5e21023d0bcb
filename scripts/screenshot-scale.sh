#!/usr/bin/env bash
# Pictures of the main window and the preferences window at 100 % and 150 %
# display scale (96 and 144 dpi), taken under Wine by the display-scale test
# program, each scale in a Wine prefix and X server of its own
# (tests/wine/dpi/at_dpi.sh):
#
#   scripts/screenshot-scale.sh [FOLDER]
#
# writes scale-100-main.png, scale-150-main.png, scale-100-preferences.png and
# scale-150-preferences.png into FOLDER (default docs/).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
folder="$(realpath -m "${1:-$root/docs}")"
build="${RAVELUND_BUILD_DIR:-$root/build/windows}"

if [[ "${RAVELUND_SCREENSHOT_INSIDE:-}" != 1 ]]; then
  "$root/scripts/install-deps.sh"
  "$root/scripts/build.sh" windows
  mkdir -p "$folder"
  # with-xvfb.sh makes sure the prefix template exists; each scale then runs
  # in an X server of its own.
  export RAVELUND_SCREENSHOT_INSIDE=1
  exec "$root/scripts/with-xvfb.sh" --timeout 600 "$root/scripts/screenshot-scale.sh" "$folder"
fi

export RAVELUND_SCREENSHOT_DIR="Z:${folder//\//\\}"
for dpi in 96 144; do
  RAVELUND_TEST_DPI=$dpi \
    "$root/tests/wine/dpi/at_dpi.sh" "$dpi" "$build/tests/dpi_scale_test.exe" \
    --gtest_filter='*TheSystemReports*:*Screenshots*'
done
for name in scale-100-main scale-150-main scale-100-preferences scale-150-preferences; do
  if [[ ! -s "$folder/$name.png" ]]; then
    echo "screenshot-scale: $folder/$name.png was not written" >&2
    exit 1
  fi
done
echo "screenshot-scale: pictures at 100 % and 150 % in $folder" >&2
