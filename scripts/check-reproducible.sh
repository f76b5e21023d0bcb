#!/usr/bin/env bash
# Builds the release of the checked-out commit twice, in two fresh clones in
# two different folders, each with its own libpng and zlib, and compares the
# bytes of every file they leave in dist/. Exit code 0 when they are the same.
#
#   scripts/check-reproducible.sh [WORK-FOLDER]   (default build/reproducible)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
work="$(realpath -m "${1:-$root/build/reproducible}")"

say() {
  echo "check-reproducible: $*" >&2
}

commit="$(git -C "$root" rev-parse HEAD)"
rm -rf "$work"
mkdir -p "$work"
for copy in first second-copy; do
  git clone -q --no-hardlinks "$root" "$work/$copy"
  git -C "$work/$copy" checkout -q "$commit"
  say "building the release of ${commit:0:12} in $work/$copy"
  # A build folder of another name and depth, so that no path can hide.
  if [[ $copy == first ]]; then
    build_dir="$work/$copy/build/release"
  else
    build_dir="$work/$copy/out/a/release"
  fi
  (unset SOURCE_DATE_EPOCH RAVELUND_MINGW_DEPS
   RAVELUND_BUILD_DIR="$build_dir" RAVELUND_MINGW_DEPS="$work/$copy/deps/mingw" \
     "$work/$copy/scripts/release.sh") >"$work/$copy.log" 2>&1 ||
    { tail -n 40 "$work/$copy.log" >&2; say "the release build in $copy failed"; exit 1; }
done

status=0
for file in "$work/first/dist/"*; do
  name="$(basename "$file")"
  if cmp -s "$file" "$work/second-copy/dist/$name"; then
    say "same bytes: $name ($(stat -c %s "$file") bytes)"
  else
    say "DIFFERENT: $name"
    cmp -l "$file" "$work/second-copy/dist/$name" | head -n 10 >&2 || true
    status=1
  fi
done
if [[ "$(ls "$work/first/dist")" != "$(ls "$work/second-copy/dist")" ]]; then
  say "the two builds left different files"
  status=1
fi
[[ $status -eq 0 ]] && say "the two builds of ${commit:0:12} are byte for byte the same"
exit $status
