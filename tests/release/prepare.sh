#!/usr/bin/env bash
# Builds the release with scripts/release.sh into WORK/dist and unpacks the
# portable zip into WORK/portable, as a user would before starting it; the
# release tests then install, start and remove what is there.
#
#   tests/release/prepare.sh WORK
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$1"
rm -rf "$work"
mkdir -p "$work"
RAVELUND_DIST_DIR="$work/dist" "$root/scripts/release.sh"
python3 -m zipfile -e "$work/dist/"ravelund-*-win64.zip "$work/portable"
