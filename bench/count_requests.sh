#!/usr/bin/env bash
# Counts the wineserver requests of the engine and of the plainest Windows
# program (bench/plain_copy.cpp) per walked folder, per copied folder and per
# copied file: each program runs once on 100 empty folders, once on 100
# folders of 10 files of 4 KiB and once on an empty folder, in a Wine prefix
# of its own whose wineserver traces every request (`wineserver -d2`); only the
# requests of the program's own threads count, and the empty run's count (the
# start-up) is taken off. Under Wine a small file costs what its requests cost.
#
#   bench/count_requests.sh [WORK_FOLDER]     (default /tmp/ravelund-requests)
#
# RAVELUND_BENCH_WIN_BUILD: the Windows build folder (default build/windows).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${1:-/tmp/ravelund-requests}"
win_build="${RAVELUND_BENCH_WIN_BUILD:-$root/build/windows}"
cmake --build "$win_build" -j2 --target ravelund_bench plain_copy >/dev/null || exit 1
ours="$win_build/bench/ravelund_bench.exe"
plain="$win_build/bench/plain_copy.exe"

mkdir -p "$work" || exit 1
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
log="$work/server.log"
stop() { WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; }
trap stop EXIT

# The trees: 100 empty folders, and 100 folders of 10 files.
tree="$work/trees"
if [[ ! -d "$tree/files" ]]; then
  rm -rf "$tree"
  for i in $(seq -f %02g 0 99); do
    mkdir -p "$tree/empty/d$i" "$tree/files/d$i"
    for j in 0 1 2 3 4 5 6 7 8 9; do head -c 4096 /dev/urandom >"$tree/files/d$i/f$j"; done
  done
  mkdir -p "$tree/none"
fi

# The prefix is made by an ordinary server; the tracing one starts on it.
[[ -d "$WINEPREFIX/drive_c" ]] || wine cmd /c exit </dev/null >/dev/null 2>&1
stop
sleep 1
wineserver -f -p -d2 2>>"$log" &
sleep 1
wine cmd /c exit </dev/null >/dev/null 2>&1

# The requests of the threads that named a tree in a request.
count() {  # program, arguments...
  : >"$log"
  wine "$@" </dev/null >/dev/null 2>&1
  sleep 0.5
  tr -d '\000' <"$log" | python3 -c '
import re, sys
mark = sys.argv[1]
lines = sys.stdin.read().split("\n")
threads = {m.group(1) for l in lines if mark in l for m in [re.match(r"^([0-9a-f]{4}): ", l)] if m}
print(sum(1 for l in lines for m in [re.match(r"^([0-9a-f]{4}): [a-z_]+\(", l)]
          if m and m.group(1) in threads and ") = " not in l))
' "$tree"
}
windows() { printf 'Z:%s' "${1//\//\\}"; }

per() {  # label, requests with, requests without, how many
  awk -v a="$2" -v b="$3" -v n="$4" -v l="$1" 'BEGIN { printf "  %-34s %6.1f\n", l, (a - b) / n }'
}

rm -rf "$work/out"
mkdir -p "$work/out"
for program in plain ours; do
  exe="$plain" walk=walk
  [[ $program == ours ]] && exe="$ours" walk=count
  none=$(count "$exe" "$walk" "$(windows "$tree/none")")
  walked=$(count "$exe" "$walk" "$(windows "$tree/empty")")
  copied_empty=$(count "$exe" copy "$(windows "$tree/empty")" "$(windows "$work/out/$program-empty")")
  copied_files=$(count "$exe" copy "$(windows "$tree/files")" "$(windows "$work/out/$program-files")")
  none_copy=$(count "$exe" copy "$(windows "$tree/none")" "$(windows "$work/out/$program-none")")
  echo "$program ($(basename "$exe")): wineserver requests"
  per "per walked folder" "$walked" "$none" 100
  per "per copied folder" "$copied_empty" "$none_copy" 100
  per "per copied file (4 KiB)" "$copied_files" "$copied_empty" 1000
  [[ $program == ours ]] && size=$(count "$exe" size "$(windows "$tree/empty")") &&
    per "per folder of the size walk" "$size" "$none" 100
done
rm -rf "$work/out"
