#!/usr/bin/env bash
# Runs the whole test command (scripts/test.sh) twice in a row with two
# CPU-bound processes beside it, as a busy machine would: the suite must pass
# both times. Prints how long each run took.
#
#   scripts/test-under-load.sh [RUNS]     (default 2)
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
runs="${1:-2}"

loads=()
for _ in 1 2; do
  bash -c 'while :; do :; done' &
  loads+=("$!")
done
trap 'kill "${loads[@]}" 2>/dev/null' EXIT
echo "test-under-load: two CPU-bound loops running (pids ${loads[*]})"

failed=0
for ((i = 1; i <= runs; i++)); do
  started=$SECONDS
  if "$root/scripts/test.sh"; then
    verdict=passed
  else
    verdict=FAILED
    failed=1
  fi
  echo "test-under-load: run $i of $runs $verdict in $((SECONDS - started)) s"
done
exit "$failed"
