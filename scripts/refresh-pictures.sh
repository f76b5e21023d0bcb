#!/usr/bin/env bash
# Takes the README's pictures anew from the real program under Wine and puts
# them in docs/: the main window, the command bar in both button styles and
# the preferences window, and both windows at 100 % and 150 % display scale.
# The test run takes the same pictures into
# build/screenshots/ and leaves docs/ alone.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$root/scripts/screenshot.sh" "$root/docs/screenshot.png"
"$root/scripts/screenshot-buttons.sh" "$root/docs"
"$root/scripts/screenshot-scale.sh" "$root/docs"
