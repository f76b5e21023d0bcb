#!/usr/bin/env bash
# Runs a Windows test program under Wine with the display at DPI dots per
# inch, in a Wine prefix of its own (build/wine/dpi-DPI/prefix): a fresh copy
# of the pristine template with LogPixels set in HKCU\Control Panel\Desktop
# (and HKCC\Software\Fonts) before its wineserver starts, so that the system,
# window and monitor DPI all read DPI; and in an X server of its own whose
# screen is 1280 x 1024 at 96 dpi scaled, as a screen of that DPI would be, so
# that every window fits whole at every scale.
#
#   tests/wine/dpi/at_dpi.sh DPI PROGRAM.exe [ARGUMENT...]
#
# The program's exit code is passed through. Its own wineserver and desktop
# are stopped afterwards; the prefix of the other tests is left alone.
set -uo pipefail

if [[ $# -lt 2 || ! "$1" =~ ^[0-9]+$ ]]; then
  echo "usage: $0 DPI PROGRAM.exe [ARGUMENT...]" >&2
  exit 2
fi
dpi="$1"
shift
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)"
base="${RAVELUND_WINE_DIR:-$root/build/wine}"
if [[ ! -f "$base/template/.ravelund-ready" ]]; then
  echo "at_dpi.sh: no Wine prefix template in $base (run the tests through scripts/with-xvfb.sh)" >&2
  exit 125
fi

# From here on the Wine environment is that of the prefix for this DPI.
export RAVELUND_WINE_DIR="$base/dpi-$dpi"
unset RAVELUND_WINE_SESSION
# shellcheck source=scripts/wine-env.sh
source "$root/scripts/wine-env.sh"
ravelund_wine_lock_session || exit 125
ravelund_wine_stop_server

# The prefix is copied from the shared template; the marker tells wine-env.sh
# that there is nothing more to make.
mkdir -p "$RAVELUND_WINE_DIR/template" || exit 125
touch "$RAVELUND_WINE_DIR/template/.ravelund-ready"
rm -rf "$WINEPREFIX" && cp -a "$base/template" "$WINEPREFIX" || exit 125
(
  unset DISPLAY
  ravelund_wine_quiet timeout -k 10 120 wine reg add 'HKCU\Control Panel\Desktop' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f || exit 1
  ravelund_wine_quiet timeout -k 10 120 wine reg add 'HKCC\Software\Fonts' \
    /v LogPixels /t REG_DWORD /d "$dpi" /f || exit 1
  # The registry reaches the disk when the wineserver exits.
  ravelund_wine_quiet timeout -k 5 30 wineserver -k
  ravelund_wine_quiet timeout -k 10 120 wineserver -w
) || {
  echo "at_dpi.sh: could not set LogPixels to $dpi" >&2
  exit 125
}

limit="${RAVELUND_WINE_TIMEOUT:-240}"
width=$((1280 * dpi / 96))
height=$((1024 * dpi / 96))
# As scripts/with-xvfb.sh does: a wineserver and a desktop for this display,
# the program, then the wineserver stopped while the display still exists.
# shellcheck disable=SC2016  # the inner script expands its own arguments
inner='
source "$1"
limit="$2"
shift 2
status=0
if ravelund_wine_start_server; then
  ravelund_wine_keep_desktop "$limit"
  RAVELUND_WINE_TIMEOUT="$limit" "$RAVELUND_ROOT/scripts/wine-run.sh" "$@" || status=$?
else
  status=125
fi
ravelund_wine_stop_server
exit "$status"'
status=0
timeout -k 20 $((limit + 60)) xvfb-run -a -s "-screen 0 ${width}x${height}x24" \
  bash -c "$inner" at_dpi "$root/scripts/wine-env.sh" "$limit" "$@" <&0 8>&- &
ravelund_wait_forwarding $!
ravelund_wine_stop_server
# A prefix takes some 700 MB: kept only when the run failed, to look into.
[[ $status -ne 0 ]] || rm -rf "$WINEPREFIX"
exit "$status"
