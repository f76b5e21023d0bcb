#!/usr/bin/env bash
# The big job: 100,000 files of 1 to 4 KiB in 10,000 folders (100 folders of
# 100 folders of 10 files), copied by a whole job through the program's window
# (natively, headless windowing: bench/big_job.cpp), beside `cp -r`, `find |
# wc -l` and `du -sb` on the same tree, with warm caches. Prints each phase's
# time, how long the window took to answer while it ran (longest and median),
# the "Annuler" question's delay, and the memory. Nothing is asserted.
#
#   bench/big_job.sh [WORK_FOLDER]      (default /tmp/ravelund-bench)
#
# Under Wine too, when a Windows build exists (RAVELUND_BENCH_WIN_BUILD,
# default build/windows): the real ravelund.exe works the same job while
# bench/big_job_wine.cpp times its window from outside (WM_NULL round trips,
# moves, the "Annuler" question), beside bench/plain_copy.cpp copying the
# tree. The scan is timed natively only: under Wine it needs the folder
# chooser, which a driver cannot fill reliably.
#
# RAVELUND_BENCH_BUILD: native Release build folder (default build/bench).
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="${1:-/tmp/ravelund-bench}"
build="${RAVELUND_BENCH_BUILD:-$root/build/bench}"
tree="$work/trees/big"
out="$work/out-big"

if [[ ! -x /usr/bin/time ]]; then
  apt-get install -y time >/dev/null || { echo "big_job.sh: /usr/bin/time is missing" >&2; exit 1; }
fi
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELUND_TESTS=OFF \
    >/dev/null || exit 1
fi
cmake --build "$build" -j2 --target ravelund_big_job >/dev/null || exit 1
driver="$build/bench/ravelund_big_job"

if [[ ! -d "$tree" ]]; then
  mkdir -p "$work/trees"
  python3 - "$tree.part" <<'PYTHON'
import os, random, sys
top = sys.argv[1]
rng = random.Random(100000)
pool = os.urandom(1 << 16) * 2
for a in range(100):
    for b in range(100):
        path = os.path.join(top, f"d{a:02d}", f"d{b:02d}")
        os.makedirs(path, exist_ok=True)
        for c in range(10):
            size = rng.randint(1024, 4096)
            start = rng.randint(0, len(pool) // 2)
            with open(os.path.join(path, f"f{c}.dat"), "wb") as f:
                f.write(pool[start:start + size])
PYTHON
  mv "$tree.part" "$tree"
fi

measure() {  # label, command...
  local label="$1"
  shift
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >"$work/cmd.txt" 2>&1
  read -r seconds kib <"$work/time.txt"
  printf '%-14s %8s s  %6d MiB peak\n' "$label" "$seconds" $((kib / 1024))
}

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs);" \
  "$(free -g | awk '/Mem:/ {print $2}') GiB; $(df -T "$work" | awk 'NR==2 {print $2}');" \
  "load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "tree: $(find "$tree" -type f | wc -l) files, $(find "$tree" -mindepth 1 -type d | wc -l) folders," \
  "$(du -sb "$tree" | cut -f1) bytes"

rm -rf "$out"
mkdir -p "$out/cp"
measure "find | wc -l" sh -c "find '$tree' | wc -l"
measure "du -sb" du -sb "$tree"
measure "cp -r" cp -r "$tree" "$out/cp/"
rm -rf "$out/cp"

mkdir -p "$out/dest" "$out/profile"
printf 'verif = ok\r\nspace = no\r\nlog = ok\r\nopencopy = no\r\nopenlog = no\r\n' \
  >"$out/profile/ravelund.ini"
HOME="$out/profile" /usr/bin/time -f "%e %M" -o "$work/time.txt" \
  "$driver" "$tree/" "$out/dest/" | tee "$work/job.txt"
read -r seconds kib <"$work/time.txt"
printf 'whole job      %8s s  %6d MiB peak (the driver, all three phases)\n' "$seconds" \
  $((kib / 1024))
if diff -rq "$tree" "$out/dest/big" >/dev/null; then echo "copy: identical to the source"; else
  echo "copy: DIFFERS from the source"; fi
rm -rf "$out"

win_build="${RAVELUND_BENCH_WIN_BUILD:-$root/build/windows}"
if [[ -f "$win_build/build.ninja" ]]; then
  cmake --build "$win_build" -j2 --target ravelund big_job_wine plain_copy >/dev/null || exit 1
  export RAVELUND_WINE_TIMEOUT=3000
  rm -rf "$out"
  mkdir -p "$out/plain" "$out/dest"
  measure "wine plain copy" "$root/scripts/with-xvfb.sh" --timeout 3000 \
    "$root/scripts/wine-run.sh" "$win_build/bench/plain_copy.exe" copy "$tree" "$out/plain"
  rm -rf "$out/plain"
  "$root/scripts/with-xvfb.sh" --timeout 3000 "$root/scripts/wine-run.sh" \
    "$win_build/bench/big_job_wine.exe" "$win_build/ravelund.exe" "$tree" "$out/dest" |
    tee "$work/job-wine.txt"
  if diff -rq "$tree" "$out/dest/big" >/dev/null; then echo "wine copy: identical to the source"
  else echo "wine copy: DIFFERS from the source"; fi
fi
rm -rf "$out"
