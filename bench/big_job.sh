#!/usr/bin/env bash
# The big job: FILES files of 1 to 4 KiB in folders of 10 (FILES/1000 folders
# of 100 folders of 10 files), copied by a whole job through the program's
# window (natively, headless windowing: bench/big_job.cpp), beside `find | wc
# -l`, `cp -r` and `du -sb` on the same tree, with warm caches. Prints each
# phase's time beside its yardstick, how long the window took to answer while
# it ran (longest and median), the "Annuler" question's delay, and the memory.
# Nothing is asserted.
#
#   bench/big_job.sh [FILES [WORK_FOLDER]]   (default 100000, /tmp/ravelund-bench)
#
# Honest figures on a busy machine, and on a file system that pays for what
# was deleted a moment before (ext4 without a journal skips recently deleted
# inodes for a minute or more after a big tree goes):
#   - every timed copy goes into a folder that never existed, and nothing is
#     deleted until every run is over;
#   - the tools alternate with the job in a fixed order (cp -r, job; cp -r,
#     job; ...), RAVELUND_BENCH_RUNS pairs (default 3), with a sync between;
#   - each figure is the median of its runs, and each ratio is ours / tool;
#   - before any timing, `strace -c -f` counts the system calls of one cp -r
#     and one job, per file.
#
# Under Wine too, when a Windows build exists (RAVELUND_BENCH_WIN_BUILD,
# default build/windows): the real ravelund.exe works the same job while
# bench/big_job_wine.cpp times its window from outside (WM_NULL round trips,
# moves, the "Annuler" question), alternating with bench/plain_copy.cpp copying
# the tree (RAVELUND_BENCH_WINE_RUNS pairs, default 3; RAVELUND_BENCH_WINE=0
# leaves Wine out). bench/count_requests.sh counts the wineserver requests per
# folder and per file. The scan is timed natively only: under Wine it needs the
# folder chooser, which a driver cannot fill reliably.
#
# RAVELUND_BENCH_BUILD: native Release build folder (default build/bench).
# RAVELUND_BENCH_COUNT=0 leaves out the strace count.
# A 1,000,000-file tree takes about 4 GiB and 1.1 million inodes per copy:
# check `df -h` and `df -i` first.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
files="${1:-100000}"
work="${2:-/tmp/ravelund-bench}"
runs="${RAVELUND_BENCH_RUNS:-3}"
wine_runs="${RAVELUND_BENCH_WINE_RUNS:-3}"
build="${RAVELUND_BENCH_BUILD:-$root/build/bench}"
if ((files < 1000 || files % 1000 != 0)); then
  echo "big_job.sh: FILES must be a multiple of 1000" >&2
  exit 2
fi
tree="$work/trees/big-$files"
out="$work/out-big-$files-$$"

for tool in time strace; do
  [[ -x "/usr/bin/$tool" ]] || apt-get install -y "$tool" >/dev/null ||
    { echo "big_job.sh: /usr/bin/$tool is missing" >&2; exit 1; }
done
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELUND_TESTS=OFF \
    >/dev/null || exit 1
fi
cmake --build "$build" -j2 --target ravelund_big_job >/dev/null || exit 1
driver="$build/bench/ravelund_big_job"

if [[ ! -d "$tree" ]]; then
  mkdir -p "$work/trees"
  python3 - "$tree.part" "$files" <<'PYTHON'
import os, random, sys
top, files = sys.argv[1], int(sys.argv[2])
rng = random.Random(files)
pool = os.urandom(1 << 16) * 2
for a in range(files // 1000):
    for b in range(100):
        path = os.path.join(top, f"d{a:03d}" if files > 100000 else f"d{a:02d}", f"d{b:02d}")
        os.makedirs(path, exist_ok=True)
        for c in range(10):
            size = rng.randint(1024, 4096)
            start = rng.randint(0, len(pool) // 2)
            with open(os.path.join(path, f"f{c}.dat"), "wb") as f:
                f.write(pool[start:start + size])
PYTHON
  mv "$tree.part" "$tree"
fi
mkdir -p "$out" || exit 1
trap 'rm -rf "$out"' EXIT

median() { printf '%s\n' "$@" | sort -n | sed -n "$((($# + 1) / 2))p"; }
largest() { printf '%s\n' "$@" | sort -n | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "-" }'; }

# One timed run: its seconds and peak KiB into the named arrays.
timed() {  # seconds array, kib array, command...
  local -n seconds_out="$1" kib_out="$2"
  shift 2
  sync
  /usr/bin/time -f "%e %M" -o "$out/time.txt" "$@" >"$out/cmd.txt" 2>&1
  local seconds kib
  read -r seconds kib <"$out/time.txt"
  seconds_out+=("$seconds")
  kib_out+=("$kib")
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs);" \
  "$(free -g | awk '/Mem:/ {print $2}') GiB; $(df -T "$work" | awk 'NR==2 {print $2}');" \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders," \
  "$(du -sb "$tree" | cut -f1) bytes; $runs runs of each, alternating"

profile="$out/profile"
mkdir -p "$profile"
printf 'verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n' \
  >"$profile/ravelund.ini"

# ---- System calls, counted before any timing ---------------------------------------
per_file() {  # an strace -c summary: its total of calls per file
  awk -v n="$files" '$NF == "total" { printf "%.1f", $4 / n }' "$1"
}
# strace slows each call many times over: at a million files the count takes
# longer than every timed run together, so RAVELUND_BENCH_COUNT=0 leaves it out
# (the calls per file do not change with the tree's size).
if [[ "${RAVELUND_BENCH_COUNT:-1}" != 0 ]]; then
  mkdir -p "$out/count/job"
  strace -c -f -o "$out/strace-cp.txt" cp -r "$tree" "$out/count/cp" >/dev/null 2>&1
  HOME="$profile" strace -c -f -o "$out/strace-job.txt" "$driver" "$tree/" "$out/count/job/" \
    >/dev/null 2>&1
  echo "system calls per file (strace -c -f, whole run): cp -r $(per_file "$out/strace-cp.txt")," \
    "the job $(per_file "$out/strace-job.txt") (scan, copy and verification)"
fi

# ---- Natively, timed ------------------------------------------------------------
find_s=() find_k=() du_s=() du_k=() cp_s=() cp_k=() job_s=() job_k=()
scan=() copy=() verify=() longest=() question=() resident=()
for ((i = 1; i <= runs; i++)); do
  mkdir -p "$out/run$i/job"
  timed find_s find_k sh -c "find '$tree' | wc -l"
  timed du_s du_k du -sb "$tree"
  timed cp_s cp_k cp -r "$tree" "$out/run$i/cp"
  HOME="$profile" timed job_s job_k "$driver" "$tree/" "$out/run$i/job/"
  cp "$out/cmd.txt" "$out/job$i.txt"
  scan+=("$(awk '$1 == "scan" { print $2 }' "$out/job$i.txt")")
  copy+=("$(awk '$1 == "copy" { print $2 }' "$out/job$i.txt")")
  verify+=("$(awk '$1 == "verify" { print $2 }' "$out/job$i.txt")")
  longest+=("$(awk '$1 == "scan" || $1 == "copy" || $1 == "verify" {
    for (f = 1; f <= NF; f++) if ($f == "longest") print $(f + 1) }' "$out/job$i.txt" | sort -n | tail -1)")
  question+=("$(awk '/question shown after/ { print $(NF - 1) }' "$out/job$i.txt")")
  resident+=("$(awk '/peak resident/ { print $3 }' "$out/job$i.txt")")
done
if diff -rq "$tree" "$out/run$runs/job/$(basename "$tree")" >/dev/null; then
  echo "copy: identical to the source"
else
  echo "copy: DIFFERS from the source"
fi
tail -n +1 "$out/job$runs.txt" | grep -E '^(box|"Annuler")' | sed 's/^/last job: /'

echo
printf '%-13s %9s   %-13s %9s   %6s\n' phase seconds yardstick seconds ratio
m_scan="$(median "${scan[@]}")" m_find="$(median "${find_s[@]}")"
m_copy="$(median "${copy[@]}")" m_cp="$(median "${cp_s[@]}")"
m_verify="$(median "${verify[@]}")" m_du="$(median "${du_s[@]}")"
printf '%-13s %9s   %-13s %9s   %6s\n' scan "$m_scan" "find | wc -l" "$m_find" \
  "$(ratio "$m_scan" "$m_find")"
printf '%-13s %9s   %-13s %9s   %6s\n' copy "$m_copy" "cp -r" "$m_cp" "$(ratio "$m_copy" "$m_cp")"
printf '%-13s %9s   %-13s %9s   %6s   (walks both trees)\n' verification "$m_verify" "du -sb" \
  "$m_du" "$(ratio "$m_verify" "$m_du")"
printf '%-13s %9s\n' "whole job" "$(median "${job_s[@]}")"
echo "window: longest answer $(largest "${longest[@]}") ms over all phases and runs;" \
  "\"Annuler\" question after $(median "${question[@]}") ms (median)"
echo "memory: job peak $(($(largest "${job_k[@]}") / 1024)) MiB resident" \
  "(driver's own count $(largest "${resident[@]}") MiB); cp -r $(($(largest "${cp_k[@]}") / 1024)) MiB"

# ---- Under Wine ------------------------------------------------------------------
win_build="${RAVELUND_BENCH_WIN_BUILD:-$root/build/windows}"
if [[ "${RAVELUND_BENCH_WINE:-1}" != 0 && -f "$win_build/build.ninja" ]]; then
  cmake --build "$win_build" -j2 --target ravelund big_job_wine plain_copy >/dev/null || exit 1
  export RAVELUND_WINE_TIMEOUT=3000
  wrap=("$root/scripts/with-xvfb.sh" --timeout 3000 "$root/scripts/wine-run.sh")
  plain_s=() plain_k=() wine_copy=() wine_verify=() wine_answer=() wine_move=() wine_set=()
  for ((i = 1; i <= wine_runs; i++)); do
    mkdir -p "$out/wine$i/plain" "$out/wine$i/dest"
    timed plain_s plain_k "${wrap[@]}" "$win_build/bench/plain_copy.exe" copy "$tree" \
      "$out/wine$i/plain"
    sync
    "${wrap[@]}" "$win_build/bench/big_job_wine.exe" "$win_build/ravelund.exe" "$tree" \
      "$out/wine$i/dest" | tr -d '\r' >"$out/wine-job$i.txt"
    wine_copy+=("$(awk '$1 == "copy" { print $2 }' "$out/wine-job$i.txt")")
    wine_verify+=("$(awk '$1 == "verify" { print $2 }' "$out/wine-job$i.txt")")
    wine_answer+=("$(awk '$1 == "copy" || $1 == "verify" {
      for (f = 1; f <= NF; f++) if ($f == "longest") { print $(f + 1); break } }' \
      "$out/wine-job$i.txt" | sort -n | tail -1)")
    wine_move+=("$(awk '$1 == "copy" || $1 == "verify" {
      for (f = 1; f < NF; f++) if ($f == "moves:") { print $(f + 2); break } }' \
      "$out/wine-job$i.txt" | sort -n | tail -1)")
    wine_set+=("$(awk '/peak working set/ { print $4 }' "$out/wine-job$i.txt")")
  done
  if diff -rq "$tree" "$out/wine$wine_runs/dest/$(basename "$tree")" >/dev/null; then
    echo "wine copy: identical to the source"
  else
    echo "wine copy: DIFFERS from the source"
  fi
  m_wcopy="$(median "${wine_copy[@]}")" m_plain="$(median "${plain_s[@]}")"
  echo
  printf '%-13s %9s   %-13s %9s   %6s\n' "wine copy" "$m_wcopy" "plain copy" "$m_plain" \
    "$(ratio "$m_wcopy" "$m_plain")"
  printf '%-13s %9s   (walks both trees)\n' "wine verif." "$(median "${wine_verify[@]}")"
  echo "wine window: longest WM_NULL answer $(largest "${wine_answer[@]}") ms;" \
    "longest move $(largest "${wine_move[@]}") ms;" \
    "peak working set $(largest "${wine_set[@]}") MiB"
fi
