#!/usr/bin/env bash
# Builds the release from the checked-out commit and leaves in dist/:
#
#   ravelund-VERSION-win64.zip   the portable program (ravelund.exe,
#                                LISEZMOI.txt, LICENCE.txt in one folder)
#   ravelund-VERSION-setup.exe   the installer
#   SHA256SUMS                   the SHA-256 of both, as sha256sum writes them
#
# One commit always gives the same bytes: every time stamp (the program's and
# the installer's headers and resources, the zip entries, the installed files)
# is the last commit's time, SOURCE_DATE_EPOCH, unless it is set already.
#
# RAVELUND_BUILD_DIR puts the release build elsewhere (default build/release);
# RAVELUND_DIST_DIR the finished files (default dist/).
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${RAVELUND_BUILD_DIR:-$root/build/release}"
dist="${RAVELUND_DIST_DIR:-$root/dist}"
jobs="${RAVELUND_JOBS:-2}"

say() {
  echo "release: $*" >&2
}

"$root/scripts/install-deps.sh"
"$root/scripts/build-mingw-deps.sh"

if [[ -z "${SOURCE_DATE_EPOCH:-}" ]]; then
  if ! SOURCE_DATE_EPOCH="$(git -C "$root" log -1 --format=%ct 2>/dev/null)"; then
    say "not a git checkout: set SOURCE_DATE_EPOCH to the release's time"
    exit 1
  fi
fi
export SOURCE_DATE_EPOCH
if [[ -n "$(git -C "$root" status --porcelain --untracked-files=no 2>/dev/null)" ]]; then
  say "warning: the checkout has uncommitted changes; this release is not the commit's"
fi

# The release program alone, without tests, stripped; its header carries no
# link time (the project's link options) and no path of this checkout.
mkdir -p "$build"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DRAVELUND_MINGW_DEPS="${RAVELUND_MINGW_DEPS:-$root/build/deps/mingw}" \
  -DRAVELUND_TESTS=OFF -DCMAKE_EXE_LINKER_FLAGS=-s >"$build/configure.log" ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j "$jobs" --target ravelund

version="$(sed -n 's/^#define RAVELUND_VERSION_TEXT "\(.*\)"$/\1/p' "$build/generated/version.h")"
if [[ -z "$version" ]]; then
  say "no version in $build/generated/version.h"
  exit 1
fi
name="ravelund-$version"
say "version $version, time stamp $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S') UTC"

# ---- the files a user gets ----------------------------------------------------
# Windows' Notepad reads the texts right with CRLF line ends and a UTF-8 mark.
stage="$build/stage/$name"
rm -rf "$build/stage"
mkdir -p "$stage"
cp "$build/ravelund.exe" "$stage/ravelund.exe"
windows_text() {
  printf '\xef\xbb\xbf'
  sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' "$1"
}
windows_text "$root/release/LISEZMOI.txt" >"$stage/LISEZMOI.txt"
windows_text "$root/LICENCE.txt" >"$stage/LICENCE.txt"
find "$build/stage" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
chmod 0755 "$stage/ravelund.exe"
chmod 0644 "$stage/LISEZMOI.txt" "$stage/LICENCE.txt"

rm -rf "$dist"
mkdir -p "$dist"

# The zip: entries sorted, each with the release's time, the same attributes
# and the same compression, whoever builds it.
python3 - "$build/stage" "$name" "$dist/$name-win64.zip" <<'PYTHON'
import os, sys, time, zipfile
stage, top, output = sys.argv[1], sys.argv[2], sys.argv[3]
stamp = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]
names = sorted(os.listdir(os.path.join(stage, top)))
with zipfile.ZipFile(output, "w") as archive:
    folder = zipfile.ZipInfo(top + "/", stamp)
    folder.create_system = 0
    folder.external_attr = 0x10  # a folder, for Windows' own unpacker
    archive.writestr(folder, b"")
    for name in names:
        entry = zipfile.ZipInfo(top + "/" + name, stamp)
        entry.create_system = 0
        entry.external_attr = 0x20  # an ordinary file
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(os.path.join(stage, top, name), "rb") as source:
            archive.writestr(entry, source.read(), compresslevel=9)
PYTHON

# The installer. makensis stamps nothing of its own; the files it packs keep
# the release's time.
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$stage" \
  -DICON="$root/resources/ravelund.ico" -DOUTFILE="$dist/$name-setup.exe" \
  "$root/release/installer.nsi" >"$build/makensis.log" ||
  { cat "$build/makensis.log" >&2; exit 1; }

(cd "$dist" && sha256sum "$name-win64.zip" "$name-setup.exe" >SHA256SUMS)
say "wrote $dist:"
(cd "$dist" && ls -l && cat SHA256SUMS) >&2
