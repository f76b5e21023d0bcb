#!/usr/bin/env bash
# Builds the Windows program and starts it under Wine on the current display,
# installing what is missing first. Arguments go to the program.
#
#   scripts/run.sh [ARGUMENT...]
#
# The program may stay open for RAVELUND_RUN_TIMEOUT seconds (default 8 hours).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program="${RAVELUND_BUILD_DIR:-$root/build/windows}/ravelund.exe"

"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" windows

# Without a display Wine cannot open the window and waits for ever.
if [[ -z "${DISPLAY:-}" ]] || ! timeout 10 xdotool getdisplaygeometry >/dev/null 2>&1; then
  echo "run.sh: no X display is available (DISPLAY is '${DISPLAY:-}'), so the window cannot open." >&2
  echo "run.sh: built $program; to see the window without a display, run scripts/screenshot.sh" >&2
  echo "run.sh: (it writes docs/screenshot.png), or start this under scripts/with-xvfb.sh." >&2
  exit 1
fi

echo "run.sh: starting $program" >&2
export RAVELUND_WINE_TIMEOUT="${RAVELUND_RUN_TIMEOUT:-28800}"
exec "$root/scripts/wine-run.sh" "$program" "$@"
