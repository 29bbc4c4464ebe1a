#!/usr/bin/env bash
# bench/make-ext-volume.sh DIR [FILES]: builds, with real tools (mke2fs -d, debugfs), a bare ext4
# volume of FILES files (default 100,000) in folders of 100 (5% of them removed) as
# DIR/ext4-FILES.img. No mount, no root.
set -euo pipefail
dir=$1
files=${2:-100000}
mkdir -p "$dir"
image=$dir/ext4-$files.img
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
        size = random.choice([0, 100, 700, 3000, 9000, 20000])
        with open(path, "wb") as out:
            out.write((f"{path} " * (size // 40 + 1)).encode()[:size])
PY
# Room for the data (about 5.5 KB a file, in 4 KiB blocks) and the metadata.
megabytes=$(( files * 9 / 1000 + 64 ))
rm -f "$image"
mke2fs -q -F -t ext4 -N $(( files + files / 4 + 1024 )) -d "$tree" "$image" "${megabytes}M"
# 5% removed: five names of every folder.
python3 - "$tree" > "$dir/ext-remove.txt" <<'PY'
import os, random, sys
random.seed(11)
root = sys.argv[1]
for top in sorted(os.listdir(root)):
    for folder in sorted(os.listdir(os.path.join(root, top))):
        names = sorted(os.listdir(os.path.join(root, top, folder)))
        for name in random.sample(names, min(5, len(names))):
            print(f'rm "/{top}/{folder}/{name}"')
PY
debugfs -w -f "$dir/ext-remove.txt" "$image" >/dev/null 2>&1
