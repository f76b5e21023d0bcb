#!/bin/sh
# Makes, from the Linux side, the trees a Windows program under Wine cannot make
# for itself: Unix links to folders (which Wine lists with a reparse tag of 0)
# and two names that differ only in letter case (which Wine's own calls would
# take for one). The Windows tests find them through RAVELUND_UNIX_TREES.
set -eu
top="$1"
rm -rf "$top"
mkdir -p "$top/links/src/a" "$top/links/src/b" "$top/clash/src/Dossier" "$top/clash/src/dossier"
printf 'payload' >"$top/links/src/a/data"
printf 'xx' >"$top/links/src/b/x"
ln -s .. "$top/links/src/a/up"
ln -s ../b "$top/links/src/a/sibling"
printf 'upper' >"$top/clash/src/Casse.txt"
printf 'lower!' >"$top/clash/src/casse.txt"
printf 'one' >"$top/clash/src/Dossier/f"
printf 'two!' >"$top/clash/src/dossier/f"
