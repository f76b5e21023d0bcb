#!/usr/bin/env bash
# Generates the benchmark trees under a folder (default /tmp/ravelund-bench/trees):
#
#   small/  20,000 files of 1 to 16 KiB in 200 folders of 100
#   large/  3 files of 300 MiB each (RAVELUND_BENCH_LARGE_MIB changes the size)
#   deep/   a chain of 2,000 folders, a small file every 100 levels and at the bottom
#   big/    100,000 files of 1 to 4 KiB in 100 folders of 100 folders of 10
#           (made only when asked for by name)
#
# File contents are pseudo-random (not sparse, not compressible). A tree that
# is already there is kept; delete the folder to make it again.
#
#   bench/make_trees.sh [FOLDER [TREE...]]   (default: small large deep)
set -euo pipefail

trees="${1:-/tmp/ravelund-bench/trees}"
large_mib="${RAVELUND_BENCH_LARGE_MIB:-300}"
mkdir -p "$trees"

if ! command -v python3 >/dev/null; then
  echo "make_trees.sh: python3 is needed (apt-get install python3)" >&2
  exit 1
fi

shift || true
wanted="${*:-small large deep}"

python3 - "$trees" "$large_mib" "$wanted" <<'PYTHON'
import os
import random
import shutil
import sys

trees, large_mib, wanted = sys.argv[1], int(sys.argv[2]), sys.argv[3].split()
rng = random.Random(20240601)
pool = os.urandom(1 << 20) * 2  # contents are slices of this pool


def make_small(top):
    for folder in range(200):
        path = os.path.join(top, f"dossier{folder:03d}")
        os.makedirs(path, exist_ok=True)
        for index in range(100):
            size = rng.randint(1024, 16384)
            start = rng.randint(0, len(pool) // 2)
            with open(os.path.join(path, f"fichier{index:03d}.dat"), "wb") as out:
                out.write(pool[start:start + size])


def make_large(top):
    os.makedirs(top, exist_ok=True)
    chunk = 1 << 20
    for index in range(3):
        with open(os.path.join(top, f"grand{index}.bin"), "wb") as out:
            for block in range(large_mib):
                start = (block * 7919 + index * 104729) % (len(pool) // 2)
                out.write(pool[start:start + chunk])


def make_deep(top):
    # Built one level at a time relative to the last, so the path may grow
    # past what the kernel takes in one piece.
    os.makedirs(top, exist_ok=True)
    here = os.open(top, os.O_RDONLY | os.O_DIRECTORY)
    for level in range(1, 2001):
        os.mkdir("d", dir_fd=here)
        below = os.open("d", os.O_RDONLY | os.O_DIRECTORY, dir_fd=here)
        os.close(here)
        here = below
        if level % 100 == 0:
            fd = os.open("f", os.O_WRONLY | os.O_CREAT, 0o644, dir_fd=here)
            os.write(fd, pool[level:level + 4096])
            os.close(fd)
    os.close(here)


def make_big(top):
    big_rng = random.Random(100000)
    big_pool = pool[: 1 << 17]
    for a in range(100):
        for b in range(100):
            path = os.path.join(top, f"d{a:02d}", f"d{b:02d}")
            os.makedirs(path, exist_ok=True)
            for c in range(10):
                size = big_rng.randint(1024, 4096)
                start = big_rng.randint(0, len(big_pool) // 2)
                with open(os.path.join(path, f"f{c}.dat"), "wb") as out:
                    out.write(big_pool[start:start + size])


for name, make in (("small", make_small), ("large", make_large), ("deep", make_deep),
                   ("big", make_big)):
    if name not in wanted:
        continue
    top = os.path.join(trees, name)
    if os.path.exists(top):
        print(f"make_trees.sh: {top} already there")
        continue
    if os.path.exists(top + ".part"):
        shutil.rmtree(top + ".part")  # an interrupted earlier run
    make(top + ".part")
    os.rename(top + ".part", top)
    print(f"make_trees.sh: made {top}")
PYTHON
