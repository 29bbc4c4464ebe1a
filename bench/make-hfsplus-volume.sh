#!/usr/bin/env bash
# bench/make-hfsplus-volume.sh DIR [FILES]: builds, with xorriso -hfsplus, an ISO 9660 image with
# an HFS+ volume of FILES files (default 50,000) in folders of 100 beside it, as
# DIR/hfsplus-FILES.iso. No mount, no root.
set -euo pipefail
dir=$1
files=${2:-50000}
mkdir -p "$dir"
image=$dir/hfsplus-$files.iso
[ -f "$image" ] && exit 0

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
python3 - "$tree" "$files" <<'PY'
import os, random, sys
root, files = sys.argv[1], int(sys.argv[2])
random.seed(7)
for d in range((files + 99) // 100):
    folder = os.path.join(root, f"dir{d // 50:03d}", f"Folder number {d:05d}")
    os.makedirs(folder, exist_ok=True)
    for f in range(min(100, files - d * 100)):
        path = os.path.join(folder, f"file {f:03d} of folder {d:05d}.txt")
        size = random.choice([0, 100, 700, 3000, 9000])
        with open(path, "wb") as out:
            out.write((f"{path} " * (size // 40 + 1)).encode()[:size])
PY
xorriso -as mkisofs -quiet -hfsplus -V VDREC_BENCH -o "$image" "$tree" >/dev/null 2>&1
