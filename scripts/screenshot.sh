#!/usr/bin/env bash
# Builds the Windows program, opens its main window under Wine inside Xvfb and
# saves a picture of the window as docs/screenshot.png (or the given file).
#
#   scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
output="$(realpath -m "${1:-$root/docs/screenshot.png}")"
program="${RAVELUND_BUILD_DIR:-$root/build/windows}/ravelund.exe"

say() {
  echo "screenshot: $*" >&2
}

if [[ "${RAVELUND_SCREENSHOT_INSIDE:-}" != 1 ]]; then
  "$root/scripts/install-deps.sh"
  "$root/scripts/build.sh" windows
  export RAVELUND_SCREENSHOT_INSIDE=1
  exec "$root/scripts/with-xvfb.sh" --timeout 300 "$root/scripts/screenshot.sh" "$output"
fi

# ---- inside Xvfb --------------------------------------------------------------
# The title carries the version the build was made with.
title="Ostrevak Tessune $(sed -n 's/^#define RAVELUND_VERSION_TITLE "\(.*\)"$/\1/p' \
  "$(dirname "$program")/generated/version.h")"
scratch="$(mktemp -d)"
runner=""
# shellcheck disable=SC2317  # called by the EXIT trap
cleanup() {
  if [[ -n "$runner" ]] && kill -0 "$runner" 2>/dev/null; then
    kill -TERM "$runner" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

RAVELUND_WINE_TIMEOUT=240 "$root/scripts/wine-run.sh" "$program" &
runner=$!

pattern="^${title//./\\.}\$"
window=""
for _ in {1..120}; do
  window="$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n 1 || true)"
  [[ -n "$window" ]] && break
  if ! kill -0 "$runner" 2>/dev/null; then
    say "ravelund.exe ended before its window appeared"
    exit 1
  fi
  sleep 0.5
done
if [[ -z "$window" ]]; then
  say "no window titled \"$title\" after 60 s"
  exit 1
fi
# Time to paint the pictures and the labels.
sleep 1

# Sets X, Y, WIDTH, HEIGHT (and WINDOW, SCREEN) for the window, frame included.
eval "$(xdotool getwindowgeometry --shell "$window")"
import -window root "$scratch/screen.png"
convert "$scratch/screen.png" -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$scratch/window.png"

# A window that never painted is a single colour.
spread="$(convert "$scratch/window.png" -format '%[fx:standard_deviation]' info:)"
if awk -v s="$spread" 'BEGIN { exit !(s < 0.01) }'; then
  say "the captured window is blank"
  exit 1
fi
mkdir -p "$(dirname "$output")"
mv "$scratch/window.png" "$output"
say "wrote $output (${WIDTH} x ${HEIGHT} at ${X},${Y})"

# Close the program as a user would; with-xvfb.sh stops whatever is left.
timeout 5 xdotool windowfocus --sync "$window" 2>/dev/null || true
timeout 5 xdotool key --clearmodifiers alt+F4 2>/dev/null || true
for _ in {1..20}; do
  kill -0 "$runner" 2>/dev/null || break
  sleep 0.25
done
if kill -0 "$runner" 2>/dev/null; then
  say "ravelund.exe did not close on Alt+F4; stopping Wine"
fi
exit 0
