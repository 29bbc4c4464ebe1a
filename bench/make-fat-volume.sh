#!/usr/bin/env bash
# bench/make-fat-volume.sh DIR: builds, with real tools (mkfs.fat, mtools), a bare FAT32 volume
# of about 20,000 files in 200 folders (5% of them deleted) as DIR/fat32.img. No mount, no root.
set -euo pipefail
mkdir -p "$1"
# Absolute: mtools runs from inside the source tree below.
dir=$(cd "$1" && pwd)
[ -f "$dir/fat32.img" ] && exit 0

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
python3 - "$tree" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
for d in range(200):
    folder = os.path.join(root, f"dir{d // 20:02d}", f"Folder number {d:04d}")
    os.makedirs(folder, exist_ok=True)
    for f in range(100):
        path = os.path.join(folder, f"file {f:03d} of folder {d:04d}.txt")
        size = random.choice([0, 100, 700, 3000, 9000, 20000])
        with open(path, "wb") as out:
            out.write((f"{path} " * (size // 40 + 1)).encode()[:size])
PY
image=$dir/fat32.img
rm -f "$image"
truncate -s 512M "$image"
mkfs.fat -F 32 -s 8 -n BENCH "$image" >/dev/null
(cd "$tree" && LC_ALL=C.UTF-8 mcopy -s -m -i "$image" dir* ::/)
# 5% deleted, one mdel per folder.
python3 - "$tree" <<'PY' | while IFS= read -r -d '' line; do eval "LC_ALL=C.UTF-8 mdel -i '$image' $line"; done
import os, random, shlex, sys
random.seed(11)
root = sys.argv[1]
for top in sorted(os.listdir(root)):
    for folder in sorted(os.listdir(os.path.join(root, top))):
        names = sorted(os.listdir(os.path.join(root, top, folder)))
        gone = random.sample(names, 5)
        sys.stdout.write(" ".join(shlex.quote(f"::/{top}/{folder}/{n}") for n in gone) + "\0")
PY
