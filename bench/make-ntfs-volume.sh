#!/usr/bin/env bash
# bench/make-ntfs-volume.sh DIR: builds, with real tools, an MBR disk holding one NTFS volume of
# about 100,000 files (5% of them deleted), as DIR/ntfs.vhd (dynamic VHD) and DIR/ntfs.raw (what
# qemu-img convert gives from the VHD). Needs root (ntfs-3g mount).
set -euo pipefail
dir=$1
mkdir -p "$dir"
[ -f "$dir/ntfs.vhd" ] && [ -f "$dir/ntfs.raw" ] && exit 0

volume=$dir/volume.img
mnt=$(mktemp -d)
trap 'mountpoint -q "$mnt" && umount "$mnt"; rmdir "$mnt"' EXIT

rm -f "$volume"
truncate -s 1536M "$volume"
mkntfs -F -f -q -L bench "$volume" >/dev/null
ntfs-3g "$volume" "$mnt"
python3 - "$mnt" <<'PY'
import os, random, sys
root = sys.argv[1]
random.seed(7)
files = []
for d in range(1000):
    folder = os.path.join(root, f"dir{d // 100:02d}", f"sub{d:04d}")
    os.makedirs(folder, exist_ok=True)
    for f in range(100):
        path = os.path.join(folder, f"file{f:03d}.txt")
        size = random.choice([0, 100, 700, 3000, 9000, 20000])
        with open(path, "wb") as out:
            out.write((f"{path} " * (size // 40 + 1)).encode()[:size])
        files.append(path)
# 5% deleted
for path in random.sample(files, len(files) // 20):
    os.unlink(path)
PY
umount "$mnt"

raw=$dir/disk.raw
rm -f "$raw"
truncate -s 1540M "$raw"
printf 'label: dos\nstart=2048, size=%d, type=7\n' $(( $(stat -c %s "$volume") / 512 )) | sfdisk -q "$raw"
dd if="$volume" of="$raw" bs=1M seek=1 conv=notrunc,sparse status=none
rm -f "$volume"
qemu-img convert -f raw -O vpc -o subformat=dynamic,force_size=on "$raw" "$dir/ntfs.vhd"
qemu-img convert -f vpc -O raw "$dir/ntfs.vhd" "$dir/ntfs.raw"
rm -f "$raw"
