#!/usr/bin/env bash
# bench/make-carve-image.sh DIR [FILES]: DIR/carve-FILES.img, a 1 GiB raw image with FILES (default 2,000)
# files of the default carving kinds planted at sector boundaries, and DIR/carve-FILES.manifest.tsv (offset,
# length, SHA-256, kind, name of each). The files are made once by real writers (tests/fixtures/carve-samples.py:
# Pillow, exiftool, ghostscript, qpdf, zip, 7z, sox, lame, ffmpeg, sqlite3, gsf) under DIR/carve-samples-FILES,
# with sizes spread evenly on a log scale from 2 KB to 2 MB; they are placed back to back or after gaps of zeros
# or noise. No root, no mounts.
set -euo pipefail
dir=$1
files=${2:-2000}
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$dir"
image=$dir/carve-$files.img
manifest=$dir/carve-$files.manifest.tsv
samples=$dir/carve-samples-$files
[ -f "$image" ] && [ -f "$manifest" ] && exit 0

# The plan: kind, size and variant of every file, seeded. JPEG weighs most, as on real disks.
plan=$(/usr/bin/python3 - "$files" <<'PY'
import random, sys
files = int(sys.argv[1])
rng = random.Random(2024)
kinds = {"jpg": 26, "png": 7, "gif": 5, "bmp": 4, "pdf": 10, "zip": 8, "7z": 4, "mp3": 10, "mp4": 5, "mov": 3,
         "avi": 3, "wav": 5, "doc": 4, "xls": 3, "sqlite": 4}
variants = {"jpg": ["plain", "plain", "thumb", "progressive"], "pdf": ["plain", "vector", "incremental", "linearized"],
            "zip": ["plain", "plain", "plain", "nested"], "gif": ["plain", "anim"], "mp3": ["plain", "id3", "id3v2"]}
names = list(kinds)
for _ in range(files):
    kind = rng.choices(names, weights=[kinds[k] for k in names])[0]
    size = int(2000 * 1000 ** rng.random())  # 2 KB to 2 MB, even on a log scale
    print(f"{kind}:{size}:{rng.choice(variants.get(kind, ['plain']))}")
PY
)
echo "making $files sample files in $samples (once) ..." >&2
# Two writers at a time, each on its share of the plan; the numbers in the names keep them apart.
mapfile -t specs <<<"$plan"
half=$(( files / 2 ))
"$here/../tests/fixtures/carve-samples.py" "$samples" "${specs[@]:0:$half}" > "$dir/samples-a.txt" &
writer=$!
"$here/../tests/fixtures/carve-samples.py" "$samples.b" "${specs[@]:$half}" > "$dir/samples-b.txt"
wait "$writer"
cat "$dir/samples-a.txt" "$dir/samples-b.txt" > "$dir/samples.txt"

echo "planting them in $image ..." >&2
/usr/bin/python3 - "$dir/samples.txt" "$image" "$manifest" <<'PY'
import hashlib, os, random, sys
listing, image, manifest = sys.argv[1:]
rng = random.Random(7)
size = 1 << 30
samples = [line.split() for line in open(listing)]
rng.shuffle(samples)
with open(image, "wb") as out, open(manifest, "w") as rows:
    out.truncate(size)
    rows.write("offset\tlength\tsha256\tkind\tname\tstate\n")
    position = 0
    planted = 0
    for path, kind in samples:
        data = open(path, "rb").read()
        sector = (position + 511) // 512
        gap = rng.random()
        if gap < 0.4:
            pass                                   # back to back
        elif gap < 0.7:
            sector += rng.randrange(1, 65)         # zeros
        else:
            count = rng.randrange(1, 65)           # noise, as old data leaves it
            out.seek(sector * 512)
            out.write(rng.randbytes(count * 512))
            sector += count
        if sector * 512 + len(data) > size:
            break
        out.seek(sector * 512)
        out.write(data)
        rows.write(f"{sector * 512}\t{len(data)}\t{hashlib.sha256(data).hexdigest()}\t{kind}\t{os.path.basename(path)}\twhole\n")
        position = sector * 512 + len(data)
        planted += 1
print(f"{image}: {planted} files planted, {position} bytes used", file=sys.stderr)
PY
