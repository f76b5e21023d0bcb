#!/usr/bin/env bash
# What a user downloads, checked from outside Windows: the three files of
# dist/, the sums a user checks them against, and the zip's entries (one
# folder, its three files, each with the release's time and no owner).
#
#   tests/release/files_test.sh WORK VERSION
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$1"
version="$2"
epoch="$(git -C "$root" log -1 --format=%ct)"
dist="$work/dist"
failures=0
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

check "dist holds the zip, the installer and SHA256SUMS" \
  test "$(cd "$dist" && ls | tr '\n' ' ')" = \
  "SHA256SUMS ravelund-$version-setup.exe ravelund-$version-win64.zip "
check "SHA256SUMS names both files and both match" \
  bash -c "cd '$dist' && test \$(wc -l <SHA256SUMS) -eq 2 && sha256sum --strict -c SHA256SUMS"
check "a changed byte no longer matches its sum" bash -c "
  scratch=\$(mktemp -d) && cp '$dist'/* \"\$scratch\" && cd \"\$scratch\" &&
  printf x | dd of=ravelund-$version-win64.zip bs=1 seek=100 conv=notrunc status=none &&
  ! sha256sum --status -c SHA256SUMS; status=\$?; rm -rf \"\$scratch\"; exit \$status"

check "the zip holds one folder with the program, its notice and the licence, each stamped with the release's time" \
  python3 - "$dist/ravelund-$version-win64.zip" "ravelund-$version" "$epoch" <<'PYTHON'
import sys, time, zipfile
archive, top = zipfile.ZipFile(sys.argv[1]), sys.argv[2]
# A zip stores times to two seconds.
year, month, day, hour, minute, second = time.gmtime(int(sys.argv[3]))[:6]
release_time = (year, month, day, hour, minute, second // 2 * 2)
entries = archive.infolist()
names = [e.filename for e in entries]
expected = [top + "/", top + "/LICENCE.txt", top + "/LISEZMOI.txt", top + "/ravelund.exe"]
ok = names == expected
stamps = {e.date_time for e in entries}
ok = ok and stamps == {release_time} and all(e.create_system == 0 for e in entries)
ok = ok and archive.testzip() is None
exe = archive.read(top + "/ravelund.exe")
ok = ok and exe[:2] == b"MZ"
if not ok:
    print(names, stamps, file=sys.stderr)
sys.exit(0 if ok else 1)
PYTHON

[[ $failures -eq 0 ]]
