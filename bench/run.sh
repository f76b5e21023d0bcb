#!/usr/bin/env bash
# Times the copy engine and the two folder walks against the system's tools on
# the same trees, in one run, and prints the figures side by side:
#
#   natively (a Release build of the engine)
#     copy                        vs  cp -r
#     countElements (count)       vs  find | wc -l
#     folderTotalSize (size)      vs  du -sb
#   under Wine, when a Windows build exists, against the plainest Windows
#   program (bench/plain_copy.cpp: FindFirstFileExW, CreateDirectoryW, CopyFileW)
#     copy                        vs  plain copy
#     count, size                 vs  plain walk
#
# The two commands of a row run in turns, so that the load of the machine
# weighs on both alike; each figure is the median of the runs, with warm
# caches; memory is the peak resident set. The Wine figures include each
# program's start-up, shown on its own line. Nothing is asserted.
#
#   bench/run.sh [WORK_FOLDER]      (default /tmp/ravelund-bench)
#
# Environment:
#   RAVELUND_BENCH_BUILD      native Release build folder (default build/bench),
#                             configured here when missing
#   RAVELUND_BENCH_WIN_BUILD  Windows build folder configured with
#                             cmake/mingw-w64.cmake (default build/bench-win);
#                             the Wine rows are left out when it does not exist
#   RAVELUND_BENCH_RUNS       runs per native figure (default 3)
#   RAVELUND_BENCH_WINE_RUNS  runs per Wine figure (default 3)
#   RAVELUND_BENCH_TREES      the trees timed (default "small large deep"; "big"
#                             adds 100,000 files of 1 to 4 KiB in 10,100 folders)
#   RAVELUND_BENCH_WINE_TREES the trees timed under Wine (default "small large":
#                             both programs take more than 5 minutes to copy
#                             the 2,000-level tree under Wine)
#   RAVELUND_WINE_TIMEOUT     seconds one Wine run may take (default here 300)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${1:-/tmp/ravelund-bench}"
build="${RAVELUND_BENCH_BUILD:-$root/build/bench}"
win_build="${RAVELUND_BENCH_WIN_BUILD:-$root/build/bench-win}"
runs="${RAVELUND_BENCH_RUNS:-3}"
wine_runs="${RAVELUND_BENCH_WINE_RUNS:-3}"
wine_trees=" ${RAVELUND_BENCH_WINE_TREES:-small large} "
export RAVELUND_WINE_TIMEOUT="${RAVELUND_WINE_TIMEOUT:-300}"
trees="$work/trees"
out="$work/out"

if [[ ! -x /usr/bin/time ]]; then
  apt-get install -y time >/dev/null || { echo "run.sh: /usr/bin/time is missing" >&2; exit 1; }
fi

# ---- The drivers ------------------------------------------------------------------
has_target() {  # build folder, target
  # The whole list first: a grep that stopped reading at its first match
  # would end ninja with a broken pipe, and pipefail would call that a miss.
  local targets
  targets="$(ninja -C "$1" -t targets all 2>/dev/null)" || return 1
  grep -q "^$2:" <<<"$targets"
}

if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELUND_TESTS=OFF \
    >/dev/null || exit 1
fi
if has_target "$build" ravelund_bench; then
  cmake --build "$build" -j2 --target ravelund_bench >/dev/null || exit 1
  native="$build/bench/ravelund_bench"
else
  cmake --build "$build" -j2 --target ravelund_core >/dev/null || exit 1
  native="$build/ravelund_bench"
  g++ -std=c++20 -O2 -I"$root" "$root/bench/ravelund_bench.cpp" "$build/libravelund_core.a" \
    -lpng -lpthread -o "$native" || exit 1
fi

windows=""
plain=""
if [[ -f "$win_build/build.ninja" ]]; then
  if has_target "$win_build" ravelund_bench && has_target "$win_build" plain_copy; then
    cmake --build "$win_build" -j2 --target ravelund_bench plain_copy >/dev/null &&
      windows="$win_build/bench/ravelund_bench.exe" plain="$win_build/bench/plain_copy.exe"
  elif cmake --build "$win_build" -j2 --target ravelund_core >/dev/null; then
    deps="$win_build/../deps/mingw/lib"
    x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -I"$root" "$root/bench/ravelund_bench.cpp" \
      "$win_build/libravelund_core.a" "$deps/libpng16.a" "$deps/libz.a" -lcomctl32 -lshell32 \
      -lole32 -luuid -lgdi32 -luser32 -lmsimg32 -lshlwapi -static \
      -o "$win_build/ravelund_bench.exe" && windows="$win_build/ravelund_bench.exe"
    x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -DUNICODE -D_UNICODE "$root/bench/plain_copy.cpp" \
      -lshell32 -static -o "$win_build/plain_copy.exe" && plain="$win_build/plain_copy.exe"
  fi
  [[ -n "$plain" ]] || windows=""
fi

# The Wine programs run straight under `wine` in one session held for the
# whole run, their output into files: through scripts/wine-run.sh, a program
# that loads user32 would also be billed the seconds for which Wine's desktop
# process, started on its behalf, keeps the output pipe open.
if [[ -n "$windows" ]]; then
  # shellcheck source=scripts/wine-env.sh
  source "$root/scripts/wine-env.sh"
  if ! ravelund_wine_in_session; then
    ravelund_wine_lock_session || exit 1
  fi
  ravelund_wine_start_server || exit 1
fi

bench_trees="${RAVELUND_BENCH_TREES:-small large deep}"
# shellcheck disable=SC2086  # one argument per tree
"$root/bench/make_trees.sh" "$trees" $bench_trees || exit 1
mkdir -p "$out"

# ---- Measuring -------------------------------------------------------------------
# One timed run of a command (a string for eval), after PREPARE (untimed) and a
# sync, so that writes of the run before are not billed to this one. Appends
# the elapsed seconds and the peak resident set (KiB) to the named arrays.
time_once() {  # prepare, command, seconds array, kib array
  local report="$work/time.out"
  eval "$1"
  sync
  if ! eval "/usr/bin/time -f '%e %M' -o '$report' $2" >/dev/null 2>"$work/last.err"; then
    echo "run.sh: failed: $2 ($(tail -1 "$work/last.err"))" >&2
  fi
  local line
  line="$(tail -1 "$report")"
  eval "$3+=(\"${line%% *}\")"
  eval "$4+=(\"${line##* }\")"
}

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
peak_mib() { printf '%s\n' "$@" | sort -n | tail -1 | awk '{ printf "%.1f", $1 / 1024 }'; }

# compare PREPARE TOOL OURS: runs the two commands in turns, $runs times each,
# so that the load of the machine weighs on both alike; sets tool_s, tool_m,
# ours_s, ours_m (median seconds, peak MiB).
compare() {
  local a_s=() a_k=() b_s=() b_k=() i
  for ((i = 0; i < runs; i++)); do
    time_once "$1" "$2" a_s a_k
    time_once "$1" "$3" b_s b_k
  done
  tool_s="$(median "${a_s[@]}")" tool_m="$(peak_mib "${a_k[@]}")"
  ours_s="$(median "${b_s[@]}")" ours_m="$(peak_mib "${b_k[@]}")"
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
wine_run="timeout -k 10 $RAVELUND_WINE_TIMEOUT wine"
if [[ -n "$windows" ]]; then
  # Wine's desktop process starts with the first program that needs it: not
  # during a timed run.
  mkdir -p "$out/empty"
  ravelund_wine_quiet timeout -k 10 "$RAVELUND_WINE_TIMEOUT" wine "$windows" count \
    "$(windows_path "$out/empty")"
fi

row() {  # tree, what, our seconds, our MiB, tool, tool seconds, tool MiB
  local ratio
  ratio="$(awk -v a="$3" -v b="$6" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }')"
  printf '%-6s %-14s %8s %9s   %-14s %8s %9s   %6s\n' "$1" "$2" "$3" "$4" "$5" "$6" "$7" "$ratio"
}

# Every timed copy goes into a folder that never existed, and no copy is
# deleted before the last run: right after a big tree is deleted, ext4 without
# a journal makes every file created pay for skipping the recently deleted
# inodes (cp -r once took 43 s instead of 4), which would bill one tool for
# the other's clean-up.
copies=0
copy_out=""
fresh_out='copies=$((copies + 1)); copy_out="$out/copy-$copies"; wine_target="$(windows_path "$copy_out")"'
q() { printf '%q ' "$@"; }  # a command as one string for eval

echo
echo "trees in $trees; median seconds of $runs runs natively, $wine_runs under Wine (limit" \
  "$RAVELUND_WINE_TIMEOUT s); peak memory in MiB"
echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | sed 's/.*: //');" \
  "$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo);" \
  "file system $(stat -f -c %T "$trees"); load at start $(cut -d' ' -f1-3 /proc/loadavg)"
[[ -z "$windows" ]] || echo "wine: $(wine --version 2>/dev/null)"
echo
printf '%-6s %-14s %8s %9s   %-14s %8s %9s   %6s\n' \
  tree ours seconds MiB tool seconds MiB ratio
for tree in $bench_trees; do
  source_tree="$trees/$tree"
  compare "$fresh_out" "$(q cp -r "$source_tree") \"\$copy_out\"" \
    "$(q "$native" copy "$source_tree") \"\$copy_out\""
  row "$tree" "copy" "$ours_s" "$ours_m" "cp -r" "$tool_s" "$tool_m"

  compare ":" "$(q find "$source_tree") | wc -l" "$(q "$native" count "$source_tree")"
  row "$tree" "count" "$ours_s" "$ours_m" "find | wc -l" "$tool_s" "$tool_m"

  compare ":" "$(q du -sb "$source_tree")" "$(q "$native" size "$source_tree")"
  row "$tree" "size" "$ours_s" "$ours_m" "du -sb" "$tool_s" "$tool_m"

  if [[ -n "$windows" && "$wine_trees" == *" $tree "* ]]; then
    wine_source="$(windows_path "$source_tree")"
    runs=$wine_runs compare "$fresh_out" \
      "$wine_run $(q "$plain" copy "$wine_source") \"\$wine_target\"" \
      "$wine_run $(q "$windows" copy "$wine_source") \"\$wine_target\""
    row "$tree" "wine copy" "$ours_s" "$ours_m" "plain copy" "$tool_s" "$tool_m"
    # The last run was ours: a figure of a copy that went wrong says so.
    diff -rq "$source_tree" "$copy_out" >/dev/null ||
      echo "run.sh: the Wine copy of $tree differs from its source" >&2
    runs=$wine_runs compare ":" "$wine_run $(q "$plain" walk "$wine_source")" \
      "$wine_run $(q "$windows" count "$wine_source")"
    row "$tree" "wine count" "$ours_s" "$ours_m" "plain walk" "$tool_s" "$tool_m"
    runs=$wine_runs compare ":" "$wine_run $(q "$plain" walk "$wine_source")" \
      "$wine_run $(q "$windows" size "$wine_source")"
    row "$tree" "wine size" "$ours_s" "$ours_m" "plain walk" "$tool_s" "$tool_m"
  fi
done
rm -rf "$out"/copy-*

if [[ -n "$windows" ]]; then
  empty="$(windows_path "$out/empty")"
  runs=$wine_runs compare ":" "$wine_run $(q "$plain" walk "$empty")" \
    "$wine_run $(q "$windows" count "$empty")"
  echo
  echo "wine start-up alone (an empty folder): ours $ours_s s, $ours_m MiB;" \
    "plain $tool_s s, $tool_m MiB"
  [[ "$wine_trees" == *" deep "* ]] || echo "the deep tree is not timed under Wine" \
    "(RAVELUND_BENCH_WINE_TREES)"
else
  echo
  echo "no Windows build in $win_build: the Wine rows are left out"
fi
