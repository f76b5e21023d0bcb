#!/bin/sh
# Mounts (or, with "remove", takes away) the small volume the Windows tests
# fill up: a tmpfs of 1 MiB, shown to Wine as drive R: through a link in the
# prefix's dosdevices folder. Mounting needs root; without it the volume is
# simply missing and the tests that need it say so and skip.
#
#   small_volume.sh FOLDER PREFIX [remove]
set -u
folder="$1"
prefix="${WINEPREFIX:-$2}"
link="$prefix/dosdevices/r:"
if [ "${3:-}" = "remove" ]; then
  rm -f "$link"
  if mountpoint -q "$folder" 2>/dev/null; then umount -l "$folder"; fi
  exit 0
fi
mkdir -p "$folder"
if mountpoint -q "$folder" 2>/dev/null; then umount -l "$folder"; fi
if [ "$(id -u)" -ne 0 ] || ! mount -t tmpfs -o size=1m tmpfs "$folder" 2>/dev/null; then
  echo "small_volume.sh: no tmpfs at $folder (mounting needs root); its tests will skip"
  exit 0
fi
if [ -d "$prefix/dosdevices" ]; then
  rm -f "$link"
  ln -s "$folder" "$link"
  echo "small_volume.sh: a 1 MiB tmpfs at $folder is drive R:"
else
  echo "small_volume.sh: no Wine prefix at $prefix; its tests will skip"
fi
