#!/usr/bin/env bash
# make-carve-disk.sh OUT.img [FILES] [MIB]: a raw disk of MIB MiB (default 1024) with FILES
# (default 2000) files of the default signature types planted at sector boundaries, made by real
# tools (ImageMagick, Ghostscript, ffmpeg, lame, zip, 7z, sqlite3). Writes OUT.img.list: START LENGTH SHA256 per
# planted file. The same arguments give the same disk.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 OUT.img [FILES] [MIB]" >&2; exit 2; }
out=$1 files=${2:-2000} mib=${3:-1024}
for t in convert gs ffmpeg lame zip 7z sqlite3 python3; do command -v $t >/dev/null || { echo "missing tool: $t" >&2; exit 1; }; done
pool=$(mktemp -d /tmp/vdrec-carve-pool.XXXXXX)
trap 'rm -rf "$pool"' EXIT
cd "$pool"
export SOURCE_DATE_EPOCH=1704067200

for i in $(seq 1 8); do
  w=$((64 + i * 97)); h=$((48 + i * 61))
  convert -size ${w}x${h} plasma:fractal -seed $i -quality $((60 + i * 4)) photo$i.jpg 2>/dev/null
  convert -size $((w / 2))x$((h / 2)) plasma:fractal -seed $((i + 50)) -strip image$i.png 2>/dev/null
  convert -size $((w / 3))x$((h / 3)) plasma:fractal -seed $((i + 90)) anim$i.gif 2>/dev/null
  convert -size $((w / 4))x$((h / 4)) gradient:red-blue -type truecolor bmp3:pic$i.bmp
done
for i in 1 2 3 4; do
  gs -q -dNOPAUSE -dBATCH -sDEVICE=pdfwrite -o doc$i.pdf \
     -c "/Helvetica findfont 14 scalefont setfont 1 1 $((i * 20)) { 72 exch 30 mul 800 exch sub moveto (page text line) show } for showpage"
  ffmpeg -loglevel error -f lavfi -i "sine=frequency=$((300 + i * 50)):sample_rate=22050" -t $i -fflags +bitexact tone$i.wav
  lame --quiet -b 96 tone$i.wav song$i.mp3
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10" -t $i -pix_fmt yuv420p -fflags +bitexact clip$i.mp4
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10" -t $i -c:v mjpeg -fflags +bitexact clip$i.avi
  ffmpeg -loglevel error -f lavfi -i "testsrc=size=160x120:rate=10" -t $i -pix_fmt yuv420p -f mov -fflags +bitexact clip$i.mov
  zip -q -X pack$i.zip photo$i.jpg image$i.png tone$i.wav
  7z a -bd -bso0 -bsp0 arch$i.7z doc$i.pdf pic$i.bmp >/dev/null
  sqlite3 data$i.sqlite "create table t(a,b); with recursive n(x) as (select 1 union all select x+1 from n where x<$((i * 2000))) insert into t select x, hex(randomblob(20)) from n;"
done
cd - >/dev/null

python3 - "$pool" "$out" "$files" "$mib" <<'PY'
import hashlib, os, random, sys
pool, out, count, mib = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
names = sorted(os.listdir(pool))
blobs = {n: open(os.path.join(pool, n), 'rb').read() for n in names}
size = mib << 20
rng = random.Random(14)
sectors = size // 512
total = sum(len(blobs[n]) for n in names) / len(names)
gap = max(1, int((sectors - count * (total / 512 + 1)) / count))
with open(out, 'wb') as disk, open(out + '.list', 'w') as listing:
    disk.truncate(size)
    at = 64
    for _ in range(count):
        name = rng.choice(names)
        data = blobs[name]
        need = (len(data) + 511) // 512
        if at + need >= sectors: break
        disk.seek(at * 512); disk.write(data)
        listing.write(f"{at * 512} {len(data)} {hashlib.sha256(data).hexdigest()} {name}\n")
        at += need + rng.randint(0, 2 * gap)
PY
echo "$(wc -l < "$out.list") files planted in $out" >&2
