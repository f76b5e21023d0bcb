#!/usr/bin/env bash
# Runs a command inside a private X server (Xvfb, 1280 x 1024, 24-bit colour)
# so that the Windows build's windows can open under Wine with no desktop.
#
#   scripts/with-xvfb.sh [--fresh-prefix] [--timeout SECONDS] COMMAND [ARGUMENT...]
#
# --fresh-prefix  start from a fresh copy of the pristine Wine prefix
# --timeout       stop everything after this many seconds (default 3600, or
#                 RAVELUND_XVFB_TIMEOUT); the exit code is then 124
#
# The command's exit code is passed through. The wineserver is stopped before
# Xvfb exits: Wine's desktop process stays bound to the display it started on.
set -uo pipefail

# shellcheck source=scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

fresh=0
limit="${RAVELUND_XVFB_TIMEOUT:-3600}"
while [[ $# -gt 0 ]]; do
  case "$1" in
    --fresh-prefix) fresh=1; shift ;;
    --timeout) limit="$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if [[ $# -lt 1 ]]; then
  echo "usage: $0 [--fresh-prefix] [--timeout SECONDS] COMMAND [ARGUMENT...]" >&2
  exit 2
fi

# Already inside a session with a display (a script calling another): run the
# command in it rather than wait for the lock this session holds.
if ravelund_wine_in_session && [[ -n "${DISPLAY:-}" ]]; then
  exec timeout -k 10 "$limit" "$@"
fi

ravelund_wine_lock_session || exit 125
if [[ $fresh -eq 1 ]]; then
  ravelund_wine_fresh_prefix || exit 125
else
  # A server left by an earlier session belongs to another display.
  ravelund_wine_stop_server
fi

# Inside Xvfb: a wineserver and a desktop for this display, the command, then
# the wineserver stopped while the display still exists.
# shellcheck disable=SC2016  # the inner script expands its own arguments
inner='
source "$1"
limit="$2"
shift 2
status=0
if ravelund_wine_start_server; then
  ravelund_wine_keep_desktop "$limit"
  "$@" || status=$?
else
  status=125
fi
ravelund_wine_stop_server
exit "$status"'
# In the background so that an interrupt or a TERM reaches this script, which
# passes it on: `timeout` runs in a process group of its own.
timeout -k 20 "$limit" xvfb-run -a -s "-screen 0 1280x1024x24" \
  bash -c "$inner" with-xvfb "$RAVELUND_ROOT/scripts/wine-env.sh" "$limit" "$@" <&0 8>&- &
ravelund_wait_forwarding $!

# After a timeout or an interrupt the clean-up inside never ran.
ravelund_wine_stop_server
if [[ $status -eq 124 ]]; then
  echo "with-xvfb.sh: '$*' was stopped after ${limit} s" >&2
fi
exit "$status"
