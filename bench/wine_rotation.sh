#!/usr/bin/env bash
# Times Windows copy programs against each other under Wine, for telling two
# builds of the engine apart when the difference is smaller than what one
# Wine run moves by: each round runs every program once, copying TREE into a
# folder that never existed, in an order that rotates from round to round (so
# that none always follows the same one), with one persistent wineserver whose
# processor time is read around each run. It prints every run, then each
# program's medians and its ratio to the first program. Nothing is asserted.
#
#   bench/wine_rotation.sh TREE ROUNDS PROGRAM.exe...
#
# Each program is called as `PROGRAM copy SOURCE TARGET` (bench/plain_copy.exe
# and the engine's ravelund_bench.exe both are). The copies stay in
# RAVELUND_ROTATION_WORK (default /tmp/ravelund-rotation/out-<pid>) until the
# last run: deleting a big tree just before a timed copy slows it for minutes
# on ext4 without a journal. Delete them afterwards.
set -uo pipefail

if (($# < 3)); then
  echo "usage: bench/wine_rotation.sh TREE ROUNDS PROGRAM.exe..." >&2
  exit 2
fi
tree="$(cd "$1" && pwd)" || exit 2
rounds="$2"
shift 2
programs=("$@")
work="${RAVELUND_ROTATION_WORK:-/tmp/ravelund-rotation}"
out="$work/out-$$"
mkdir -p "$out" || exit 1
[[ -x /usr/bin/time ]] || apt-get install -y time >/dev/null ||
  { echo "wine_rotation.sh: /usr/bin/time is missing" >&2; exit 1; }

export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
[[ -d "$WINEPREFIX/drive_c" ]] || timeout 300 wine cmd /c exit </dev/null >/dev/null 2>&1
wineserver -k 2>/dev/null
sleep 1
wineserver -f -p 2>/dev/null &
server=$!
trap 'wineserver -k 2>/dev/null' EXIT
sleep 1
timeout 300 wine cmd /c exit </dev/null >/dev/null 2>&1  # the prefix's services, before timing

server_seconds() { awk '{ printf "%.2f", ($14 + $15) / 100 }' "/proc/$server/stat"; }
windows() { printf 'Z:%s' "${1//\//\\}"; }

results="$out/runs"
: >"$results"
count=${#programs[@]}
for ((round = 1; round <= rounds; round++)); do
  for ((k = 0; k < count; k++)); do
    i=$(((k + round) % count))
    program="${programs[$i]}"
    target="$out/$i-$round"
    before=$(server_seconds)
    start=$(date +%s.%N)
    /usr/bin/time -f "%U %S" -o "$out/time" timeout -k 10 900 wine "$program" copy \
      "$(windows "$tree")" "$(windows "$target")" </dev/null >/dev/null 2>&1
    status=$?
    end=$(date +%s.%N)
    after=$(server_seconds)
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    client=$(awk '{ printf "%.2f", $1 + $2 }' "$out/time")
    server_used=$(awk -v a="$before" -v b="$after" 'BEGIN { printf "%.2f", b - a }')
    echo "$i $wall $client $server_used" >>"$results"
    printf 'round %d  %-24s exit %d  %8.2f s  program %6.2f s  wineserver %6.2f s\n' \
      "$round" "$(basename "$program")" "$status" "$wall" "$client" "$server_used"
  done
done

echo
printf '%-24s %10s %8s %12s %12s\n' program seconds ratio "program cpu" "server cpu"
python3 - "$results" "${programs[@]}" <<'PY'
import statistics, sys, os
runs = [line.split() for line in open(sys.argv[1])]
names = sys.argv[2:]
def median(i, column):
    return statistics.median(float(r[column]) for r in runs if int(r[0]) == i)
first = median(0, 1)
for i, name in enumerate(names):
    wall = median(i, 1)
    print(f"{os.path.basename(name):24s} {wall:10.2f} {wall / first:8.2f} "
          f"{median(i, 2):12.2f} {median(i, 3):12.2f}")
PY
