#!/usr/bin/env bash
# Counts the wineserver requests of the engine and of the plainest Windows
# program (bench/plain_copy.cpp) per walked folder, per copied folder and per
# copied file: each program runs once on 100 empty folders, once on 100
# folders of 10 files of 4 KiB and once on an empty folder, in a Wine prefix
# of its own whose wineserver traces every request (`wineserver -d2`); only the
# requests of the program's own threads count, and the empty run's count (the
# start-up) is taken off. Under Wine a small file costs what its requests
# cost, and the system calls behind them, of the program and of the server,
# counted last per copied file.
#
#   bench/count_requests.sh [WORK_FOLDER]     (default /tmp/ravelund-requests)
#
# RAVELUND_BENCH_WIN_BUILD: the Windows build folder (default build/windows).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${1:-/tmp/ravelund-requests}"
win_build="${RAVELUND_BENCH_WIN_BUILD:-$root/build/windows}"
[[ -x /usr/bin/strace ]] || apt-get install -y strace >/dev/null ||
  { echo "count_requests.sh: /usr/bin/strace is missing" >&2; exit 1; }
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

# The system calls per copied file of the program's own process
# (`strace -c -f`) and of the wineserver (`strace -c -p`), with an ordinary
# server that has started the prefix's services beforehand, so that only the
# program and the server are traced: the copy of the 100 folders of files less
# the copy of the 100 empty ones, over 1,000 files.
stop
sleep 1
wineserver -f -p 2>/dev/null &
server=$!
sleep 1
wine cmd /c exit </dev/null >/dev/null 2>&1
calls() {  # name, program, arguments...
  local name="$1"
  shift
  strace -c -o "$work/server-$name" -p "$server" 2>/dev/null &
  local tracer=$!
  sleep 1
  strace -f -c -o "$work/calls-$name" wine "$@" </dev/null >/dev/null 2>&1
  sleep 1
  kill -INT "$tracer"
  wait "$tracer" 2>/dev/null
}
for program in plain ours; do
  exe="$plain"
  [[ $program == ours ]] && exe="$ours"
  for part in files empty; do
    calls "$program-$part" "$exe" copy "$(windows "$tree/$part")" \
      "$(windows "$work/out/$program-calls-$part")"
  done
done
python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
def table(path):
    calls = {}
    for line in open(path):
        parts = line.split()
        if len(parts) >= 5 and parts[0][0].isdigit() and parts[-1] != "total":
            calls[parts[-1]] = int(parts[3])
    return calls
for side, title in (("calls", "the program"), ("server", "the wineserver")):
    per = {}
    for program in ("plain", "ours"):
        files = table(f"{work}/{side}-{program}-files")
        empty = table(f"{work}/{side}-{program}-empty")
        per[program] = {k: (files.get(k, 0) - empty.get(k, 0)) / 1000
                        for k in files.keys() | empty.keys()}
    print(f"system calls of {title} per copied file (4 KiB)")
    print(f"  {'call':24s} {'plain':>7s} {'ours':>7s}")
    names = sorted(per["plain"].keys() | per["ours"].keys(),
                   key=lambda k: -max(per["plain"].get(k, 0), per["ours"].get(k, 0)))
    for name in names:
        a, b = per["plain"].get(name, 0), per["ours"].get(name, 0)
        if max(abs(a), abs(b)) >= 0.05:
            print(f"  {name:24s} {a:7.1f} {b:7.1f}")
    print(f"  {'all':24s} {sum(per['plain'].values()):7.1f} {sum(per['ours'].values()):7.1f}")
PY
rm -rf "$work/out"
