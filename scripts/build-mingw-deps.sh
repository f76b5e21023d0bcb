#!/usr/bin/env bash
# Builds static zlib and libpng for the Windows build with the MinGW-w64 cross
# compiler, from Debian's own source packages, and installs them into
# build/deps/mingw/{include,lib} (RAVELUND_MINGW_DEPS overrides the folder).
# Does nothing when they are already there.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="${RAVELUND_MINGW_DEPS:-$root/build/deps/mingw}"
work="$(dirname "$deps")/mingw-src"
toolchain="$root/cmake/mingw-w64.cmake"
jobs="${RAVELUND_JOBS:-2}"

say() {
  echo "build-mingw-deps: $*" >&2
}

# Runs a build step with its chatter in build.log, shown only if it fails.
logged() {
  if ! "$@" >>"$work/build.log" 2>&1; then
    say "failed: $*"
    tail -n 40 "$work/build.log" >&2
    return 1
  fi
}

outputs=(lib/libz.a lib/libpng16.a include/zlib.h include/zconf.h include/png.h
  include/pngconf.h include/pnglibconf.h)

installed() {
  local file
  for file in "${outputs[@]}"; do
    [[ -s "$deps/$file" ]] || return 1
  done
}

if installed; then
  exit 0
fi

mkdir -p "$work"
# Two builds started at once would share the work folder.
exec 9>"$work/.lock"
flock -w 1200 9 || { say "gave up waiting for $work/.lock"; exit 1; }
if installed; then
  exit 0
fi

started=$SECONDS
: >"$work/build.log"

as_root() {
  if [[ $(id -u) -eq 0 ]]; then
    "$@"
  else
    sudo "$@"
  fi
}

apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -q -o DPkg::Lock::Timeout=600 \
    -o Acquire::Retries=3 "$@" </dev/null
}

# Whether apt knows any deb-src entry, in either source-list format.
has_deb_src() {
  local file
  if [[ -f /etc/apt/sources.list ]] && grep -Eq '^[[:space:]]*deb-src[[:space:]]' /etc/apt/sources.list; then
    return 0
  fi
  for file in /etc/apt/sources.list.d/*.list; do
    [[ -f "$file" ]] && grep -Eq '^[[:space:]]*deb-src[[:space:]]' "$file" && return 0
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$file" ]] && grep -Eiq '^Types:.*deb-src' "$file" && return 0
  done
  return 1
}

# Writes deb-src twins of the existing deb entries: the same archives and
# suites, so that the sources match the binary packages installed.
add_deb_src() {
  local file text="" list=""
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f "$file" ]] || continue
    # Stanzas are separated by blank lines; keep the deb ones, as deb-src.
    text+="$(awk 'BEGIN { RS = ""; ORS = "\n\n" }
      {
        keep = 0; out = ""
        n = split($0, lines, "\n")
        for (i = 1; i <= n; i++) {
          line = lines[i]
          if (line ~ /^[Tt]ypes:/) {
            if (line ~ /[[:space:]]deb([[:space:]]|$)/) keep = 1
            line = "Types: deb-src"
          }
          if (line ~ /^[Ee]nabled:[[:space:]]*no/) keep = 0
          out = out line "\n"
        }
        if (keep) printf "%s\n", out
      }' "$file")"
    text+=$'\n\n'
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f "$file" ]] || continue
    list+="$(sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$file")"
    list+=$'\n'
  done
  if [[ -n "${text//[[:space:]]/}" ]]; then
    say "adding /etc/apt/sources.list.d/ravelund-deb-src.sources"
    printf '%s\n' "$text" | cat -s | as_root tee /etc/apt/sources.list.d/ravelund-deb-src.sources >/dev/null
  fi
  if [[ -n "${list//[[:space:]]/}" ]]; then
    say "adding /etc/apt/sources.list.d/ravelund-deb-src.list"
    printf '%s\n' "$list" | as_root tee /etc/apt/sources.list.d/ravelund-deb-src.list >/dev/null
  fi
  if [[ -z "${text//[[:space:]]/}" && -z "${list//[[:space:]]/}" ]]; then
    say "no deb entry found in /etc/apt to derive a deb-src entry from"
    return 1
  fi
}

# ---- the source packages ----------------------------------------------------
cd "$work"
if ! compgen -G 'zlib_*.dsc' >/dev/null || ! compgen -G 'libpng1.6_*.dsc' >/dev/null; then
  if ! has_deb_src; then
    add_deb_src
  fi
  if [[ -z "$(apt-cache showsrc libpng1.6 zlib 2>/dev/null)" ]]; then
    apt_get update
  fi
  # As root, apt warns that it downloads unsandboxed; that is harmless here.
  if ! apt_get source --download-only libpng1.6 zlib; then
    # The newest source may sit in an archive whose pool this machine cannot
    # reach (a security mirror behind a proxy); the release's own will do.
    codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-}")"
    [[ -n "$codename" ]] || { say "could not download the source packages"; exit 1; }
    say "retrying with the sources of the $codename release itself"
    for package in libpng1.6 zlib; do
      if ! compgen -G "${package}_*.dsc" >/dev/null; then
        apt_get source --download-only "$package/$codename"
      fi
    done
  fi
fi

unpack() {
  local package="$1" folder="$2" dsc
  dsc="$(compgen -G "${package}_*.dsc" | sort -V | tail -n 1)"
  if [[ ! -f "$folder/.unpacked" ]]; then
    rm -rf "$folder"
    logged dpkg-source -x "$dsc" "$folder"
    touch "$folder/.unpacked"
  fi
}
unpack zlib zlib-source
unpack libpng1.6 libpng-source

stage="$work/stage"
rm -rf "$stage"
mkdir -p "$stage/include" "$stage/lib"

# ---- zlib ---------------------------------------------------------------------
# Debian's zlib source lacks the win32/ folder its shared library needs, so only
# the static target is built and installed by hand.
logged cmake -S zlib-source -B zlib-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release
logged cmake --build zlib-build --target zlibstatic -j "$jobs"
zlib_archive="$(find zlib-build -maxdepth 1 -name 'libzlibstatic.a' -o -maxdepth 1 -name 'libz.a' | head -n 1)"
[[ -n "$zlib_archive" ]] || { say "the zlib build made no archive"; exit 1; }
cp "$zlib_archive" "$stage/lib/libz.a"
cp zlib-source/zlib.h zlib-build/zconf.h "$stage/include/"

# ---- libpng -------------------------------------------------------------------
logged cmake -S libpng-source -B libpng-build -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$work/libpng-install" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF \
  -DZLIB_LIBRARY="$stage/lib/libz.a" -DZLIB_INCLUDE_DIR="$stage/include"
logged cmake --build libpng-build -j "$jobs"
rm -rf "$work/libpng-install"
logged cmake --install libpng-build
png_archive="$(find "$work/libpng-install/lib" -maxdepth 1 -name 'libpng16*.a' | head -n 1)"
[[ -n "$png_archive" ]] || { say "the libpng build made no archive"; exit 1; }
cp "$png_archive" "$stage/lib/libpng16.a"
cp "$work/libpng-install/include/png.h" "$work/libpng-install/include/pngconf.h" \
  "$work/libpng-install/include/pnglibconf.h" "$stage/include/"

# ---- install in one step, so that a failed run never looks finished ----------
rm -rf "$deps"
mkdir -p "$(dirname "$deps")"
mv "$stage" "$deps"
installed || { say "incomplete installation in $deps"; exit 1; }
say "zlib and libpng built into $deps in $((SECONDS - started)) s"
