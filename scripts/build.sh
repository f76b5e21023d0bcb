#!/usr/bin/env bash
# Configures (when needed) and builds one flavour of the project with Ninja.
#
#   scripts/build.sh native    build/native: Debug, AddressSanitizer + UBSan
#   scripts/build.sh tsan      build/tsan: Debug, ThreadSanitizer
#   scripts/build.sh windows   build/windows: Release, MinGW-w64 cross build
#
# RAVELUND_BUILD_DIR puts the flavour elsewhere; RAVELUND_JOBS (default 2)
# sets the parallel jobs. Further arguments go to the first configure.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="${RAVELUND_JOBS:-2}"

if [[ $# -lt 1 ]]; then
  echo "usage: $0 native|tsan|windows [CMAKE-ARGUMENT...]" >&2
  exit 2
fi
flavour="$1"
shift

case "$flavour" in
  native)
    # shellcheck disable=SC2054  # the comma belongs to the sanitizer list
    settings=(-DCMAKE_BUILD_TYPE=Debug -DRAVELUND_SANITIZE=address,undefined)
    ;;
  tsan)
    settings=(-DCMAKE_BUILD_TYPE=Debug -DRAVELUND_SANITIZE=thread)
    ;;
  windows)
    "$root/scripts/build-mingw-deps.sh"
    settings=(-DCMAKE_BUILD_TYPE=Release
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake"
      -DRAVELUND_MINGW_DEPS="${RAVELUND_MINGW_DEPS:-$root/build/deps/mingw}")
    ;;
  *)
    echo "$0: unknown flavour '$flavour' (native, tsan or windows)" >&2
    exit 2
    ;;
esac
build="${RAVELUND_BUILD_DIR:-$root/build/$flavour}"

# Two builds of one folder at once would trip over each other's files.
mkdir -p "$build"
exec 9>"$build/.build.lock"
if ! flock -n 9; then
  echo "build.sh: waiting for another build of $build" >&2
  flock -w 1800 9 || { echo "build.sh: gave up waiting for $build" >&2; exit 1; }
fi

# Once configured, Ninja re-runs CMake by itself whenever a CMakeLists.txt or a
# globbed folder changes.
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja "${settings[@]}" "$@"
fi
cmake --build "$build" -j "$jobs"
