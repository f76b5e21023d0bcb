#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang into build/fuzz/ and
# runs each for a short while. Any crash, leak, out-of-bounds access, broken
# round trip or slow input fails the run.
#
#   scripts/fuzz.sh [seconds per target]     (default 10)
set -euo pipefail

seconds="${1:-10}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/build/fuzz"
mkdir -p "$out"

clang="$(command -v clang++-14 || command -v clang++ || true)"
if [[ -z "$clang" ]]; then
  echo "fuzz: clang++ is missing (apt-get install clang libclang-rt-14-dev)" >&2
  exit 1
fi

flags=(-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
       -fno-omit-frame-pointer -Wall -Wextra -Werror -I "$root")

# Each target with only the sources it needs.
declare -A sources=(
  [decipher_fuzz]="journal/cipher.cpp text/codepage.cpp"
  [settings_fuzz]="settings/ini_file.cpp text/codepage.cpp platform/posix/files.cpp"
  [date_fuzz]="journal/date.cpp platform/posix/files.cpp"
  [paths_fuzz]="volume/paths.cpp platform/posix/files.cpp"
)

failed=0
for target in decipher_fuzz settings_fuzz date_fuzz paths_fuzz; do
  files=("$root/tests/fuzz/$target.cpp")
  for source in ${sources[$target]}; do files+=("$root/$source"); done
  echo "fuzz: building $target"
  "$clang" "${flags[@]}" "${files[@]}" -o "$out/$target"

  corpus="$out/corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: running $target for ${seconds}s"
  if ! (cd "$out" && timeout $((seconds + 60)) "./$target" "$corpus" \
          -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 -print_final_stats=0 \
          >"$out/$target.log" 2>&1); then
    echo "fuzz: $target FAILED; last lines of $out/$target.log:" >&2
    tail -n 30 "$out/$target.log" >&2
    failed=1
  else
    echo "fuzz: $target passed ($(find "$corpus" -type f | wc -l) inputs in its corpus)"
  fi
done
exit "$failed"
