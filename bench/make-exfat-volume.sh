#!/usr/bin/env bash
# bench/make-exfat-volume.sh DIR: builds, with real tools (mkfs.exfat, exfat-fuse on a loop
# device; root), a bare exFAT volume of about 20,000 files in 200 folders (5% of them deleted)
# as DIR/exfat.img.
set -euo pipefail
dir=$1
mkdir -p "$dir"
[ -f "$dir/exfat.img" ] && exit 0

tree=$(mktemp -d)
mnt=$(mktemp -d)
loop=
trap 'umount "$mnt" 2>/dev/null || true; [ -z "$loop" ] || losetup -d "$loop"; rm -rf "$tree" "$mnt"' EXIT
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
image=$dir/exfat.img.part
rm -f "$image"
truncate -s 512M "$image"
mkfs.exfat -c 4K -L BENCH "$image" >/dev/null
loop=$(losetup -f --show "$image")
mount.exfat-fuse -o noatime "$loop" "$mnt" >/dev/null 2>&1
cp -r --preserve=timestamps "$tree"/dir* "$mnt"/
# 5% deleted.
python3 - "$tree" <<'PY' | (cd "$mnt" && xargs -0 rm -f)
import os, random, sys
random.seed(11)
root = sys.argv[1]
for top in sorted(os.listdir(root)):
    for folder in sorted(os.listdir(os.path.join(root, top))):
        names = sorted(os.listdir(os.path.join(root, top, folder)))
        for n in random.sample(names, 5):
            sys.stdout.write(f"{top}/{folder}/{n}\0")
PY
umount "$mnt"
losetup -d "$loop"
loop=
mv "$image" "$dir/exfat.img"
