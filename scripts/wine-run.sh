#!/usr/bin/env bash
# Runs a Windows program under Wine: the emulator CTest uses for the Windows
# build's tests, and what the other scripts use to start ravelund.exe.
#
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENT...]
#
# The program's exit code is passed through; 124 means it ran out of time
# (RAVELUND_WINE_TIMEOUT seconds, default 880), and a crash that Wine reports
# is never an exit code of 0. Arguments that are absolute
# paths of existing files or folders are handed over in their Windows form
# (Z:\...), as a Windows program expects them. Console programs need no
# display; windows need one (DISPLAY, for instance from with-xvfb.sh).
set -uo pipefail

# shellcheck source=scripts/wine-env.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

if [[ $# -lt 1 ]]; then
  echo "usage: $0 PROGRAM.exe [ARGUMENT...]" >&2
  exit 2
fi
program="$1"
shift

arguments=()
for argument in "$@"; do
  if [[ "$argument" == /* && -e "$argument" ]]; then
    argument="Z:${argument//\//\\}"
  fi
  arguments+=("$argument")
done

# Inside with-xvfb.sh the session is already ours; alone, take it for this run.
if ! ravelund_wine_in_session; then
  ravelund_wine_lock_session || exit 125
fi
ravelund_wine_start_server || exit 125

limit="${RAVELUND_WINE_TIMEOUT:-880}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Wine reports an unhandled exception on standard error, then its debugger
# prints a backtrace and ends the process, sometimes with exit code 0. So a
# crash (of the program or of any program it starts) is read off its standard
# error, which is passed on unchanged.
watch_crashes() {
  local line
  while IFS= read -r line || [[ -n "$line" ]]; do
    printf '%s\n' "$line"
    if [[ "$line" == "wine: Unhandled "* ]]; then
      printf '%s\n' "$line" >>"$scratch/crashes"
    fi
  done
}
mkfifo "$scratch/stderr"
watch_crashes <"$scratch/stderr" >&2 &
watcher=$!

# In the background so that an interrupt or a TERM reaches this script, which
# passes it on: `timeout` runs in a process group of its own.
timeout -k 10 "$limit" wine "$program" "${arguments[@]}" <&0 2>"$scratch/stderr" 8>&- 9>&- &
ravelund_wait_forwarding $!

# A process the program left behind may hold the pipe; do not wait for it.
for _ in {1..50}; do
  kill -0 "$watcher" 2>/dev/null || break
  sleep 0.1
done
kill "$watcher" 2>/dev/null

if [[ $status -eq 124 ]]; then
  echo "wine-run.sh: $(basename "$program") was stopped after ${limit} s" >&2
elif [[ -s "$scratch/crashes" ]]; then
  echo "wine-run.sh: $(basename "$program") crashed (exit code $status):" >&2
  sed 's/^/  /' "$scratch/crashes" >&2
  [[ $status -ne 0 ]] || status=1
fi
exit "$status"
