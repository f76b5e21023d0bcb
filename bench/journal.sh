#!/usr/bin/env bash
# Times a journal of about 10 MB: reading and deciphering it natively, and
# under Wine also the real journal window, until it shows its first lines and
# until its text area holds them all. Prints figures; asserts nothing.
#
#   bench/journal.sh [MEGABYTES]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
megabytes="${1:-10}"
build="${RAVELUND_BENCH_BUILD:-$root/build/bench}"
native="$build/bench/ravelund_bench"
windows="${RAVELUND_WINDOWS_BUILD:-$root/build/windows}/bench/ravelund_bench.exe"
# The native figure comes from a Release build, as in bench/run.sh.
if [[ ! -f "$build/build.ninja" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DRAVELUND_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target ravelund_bench >/dev/null
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One enciphered record repeated: the size is what matters, not the text.
python3 - "$work/ravelundlog.ini" "$megabytes" <<'PY'
import sys
key = b"5d2c7be0a19f43e68b0c4da7f2e95136"
def rc4(data):
    s = list(range(256)); j = 0
    for i in range(256):
        j = (j + s[i] + key[i % len(key)]) % 256; s[i], s[j] = s[j], s[i]
    i = j = 0; out = bytearray()
    for b in data:
        i = (i + 1) % 256; j = (j + s[i]) % 256; s[i], s[j] = s[j], s[i]
        out.append(b ^ s[(s[i] + s[j]) % 256])
    return bytes(out)
# The enciphered text, then the terminator, which is not enciphered.
line = rc4("Emplacement original : C:\\Données\\Photos\\Été 2026\\ — une ligne de journal".encode("cp1252")).hex().upper() + "00"
size = int(sys.argv[2]) << 20
with open(sys.argv[1], "w", newline="") as f:
    written = 0
    while written < size:
        f.write(line + "\r\n"); written += len(line) + 2
PY
echo "journal of $(du -m "$work/ravelundlog.ini" | cut -f1) MiB"
if [[ -x "$native" ]]; then
  echo "native: $("$native" journal "$work/ravelundlog.ini")"
fi
if [[ -f "$windows" ]]; then
  echo "wine:   $("$root/scripts/with-xvfb.sh" --timeout 300 "$root/scripts/wine-run.sh" "$windows" journal-window "Z:${work//\//\\}\\ravelundlog.ini" | tr -d '\r')"
fi
