#!/usr/bin/env bash
# samples/demo.vhd: a 64 MiB dynamic VHD to try vdrec on. An NTFS volume with
# nested folders, a Unicode name and deleted files/folder, and a FAT16 volume
# with a deleted file. Needs root (loop-free, but ntfs-3g mounts via FUSE).
# Usage: samples/make-demo.sh   (writes samples/demo.vhd.zst)
. "$(dirname "$0")/../tests/fixtures/lib.sh"
need sfdisk mkntfs ntfs-3g mkfs.fat mcopy mdel qemu-img python3 zstd
SAMPLES_DIR=$(cd "$(dirname "$0")" && pwd)
scratch demo
cd "$WORK"

RAW=demo.raw
blank $RAW 131072                       # 64 MiB

sfdisk -q --no-reread --no-tell-kernel $RAW <<'TABLE'
label: dos
label-id: 0x64656d6f
unit: sectors

start=2048,  size=81920, type=7
start=83968, size=40960, type=6
TABLE

# Deterministic file bodies: "name line N" text, and a real PNG of noise.
lines() { perl -e 'printf "%s line %04d\n", $ARGV[0], $_ for 1..$ARGV[1]' "$1" "$2"; }
png() {
  python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
path, seed = sys.argv[1], int(sys.argv[2])
w = h = 48
x = seed
rows = b""
for _ in range(h):
    row = bytearray(b"\0")
    for _ in range(w * 3):
        x = (x * 1103515245 + 12345) & 0x7FFFFFFF
        row.append(x >> 23)
    rows += bytes(row)
def chunk(t, d): return struct.pack(">I", len(d)) + t + d + struct.pack(">I", zlib.crc32(t + d))
open(path, "wb").write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
                       + chunk(b"IDAT", zlib.compress(rows, 9)) + chunk(b"IEND", b""))
PY
}

# --- NTFS, partition 1 -------------------------------------------------------
mkntfs_part p1.ntfs 81920 2048 DEMO-NTFS 0x44454d4f4e544653
mkdir -p mnt
ntfs-3g -o no_detach p1.ntfs mnt >ntfs-3g.log 2>&1 & NTFS_PID=$!
for _ in $(seq 50); do mountpoint -q mnt && break; sleep 0.1; done
mountpoint -q mnt || { cat ntfs-3g.log >&2; echo "ntfs-3g did not mount" >&2; exit 1; }
unmount() { mountpoint -q "$WORK/mnt" && umount "$WORK/mnt"; wait $NTFS_PID; }
trap 'unmount || true; [ "${KEEP:-0}" = 1 ] || rm -rf "$WORK"' EXIT

mkdir -p "mnt/Documents/Reports/2024" "mnt/Documents/Reports/2023" "mnt/Documents/Old Drafts" mnt/Pictures
lines "q1 summary"  12 > "mnt/Documents/Reports/2024/q1-summary.txt"     # resident
lines "q2 summary"  14 > "mnt/Documents/Reports/2024/q2-summary.txt"     # resident
lines "annual 2023" 600 > "mnt/Documents/Reports/2023/annual.txt"        # non-resident
printf 'Remember to back up the VHD.\n' > "mnt/Documents/notes.txt"
lines "résumé"      40 > "mnt/Documents/Résumé – final.txt"
png "mnt/Pictures/photo.png" 1
# to be deleted
lines "todo"         5 > "mnt/Documents/todo.txt"                        # resident
png "mnt/Pictures/holiday.png" 2
lines "draft one"    8 > "mnt/Documents/Old Drafts/draft1.txt"           # resident
lines "draft two"  300 > "mnt/Documents/Old Drafts/draft2.txt"           # non-resident
find mnt -mindepth 1 -exec touch -h -d '2024-03-15 12:00:00' {} +
sync
# Hash everything before deleting, for the README.
(cd mnt && find . -type f | sort | while read -r f; do printf '%s %s %s\n' "$(stat -c %s "$f")" "$(sha256sum < "$f" | cut -d" " -f1)" "${f#./}"; done) > ntfs-files.txt
rm "mnt/Documents/todo.txt" "mnt/Pictures/holiday.png"
rm -r "mnt/Documents/Old Drafts"
sync
unmount
trap '[ "${KEEP:-0}" = 1 ] || rm -rf "$WORK"' EXIT
place p1.ntfs $RAW 2048

# --- FAT16, partition 2 ------------------------------------------------------
blank p2.fat 40960
mkfs.fat --invariant -F 16 -s 4 -h 83968 -n DEMO-FAT -i 44454d4f p2.fat >/dev/null
printf 'Files on the FAT16 volume of demo.vhd\n' > readme.txt
lines "budget" 50 | tr ' ' ';' > budget-2024.csv
lines "old budget" 50 | tr ' ' ';' > old-budget.csv
lines "long name" 20 > "Long file name example.txt"
png backup.png 3
touch -d '2024-03-16 09:30:00' readme.txt budget-2024.csv old-budget.csv "Long file name example.txt" backup.png
mcopy -i p2.fat -m readme.txt ::README.TXT
mcopy -i p2.fat -m budget-2024.csv old-budget.csv "Long file name example.txt" ::
mmd -i p2.fat ::Backup
mcopy -i p2.fat -m backup.png ::Backup/backup.png
for pair in readme.txt:README.TXT budget-2024.csv:budget-2024.csv old-budget.csv:old-budget.csv \
            "Long file name example.txt:Long file name example.txt" backup.png:Backup/backup.png; do
  src=${pair%%:*}
  printf '%s %s %s\n' "$(stat -c %s "$src")" "$(sha256sum < "$src" | cut -d" " -f1)" "${pair#*:}"
done > fat-files.txt
mdel -i p2.fat ::old-budget.csv
place p2.fat $RAW 83968

qemu-img convert -f raw -O vpc -o subformat=dynamic,force_size=on $RAW demo.vhd
qemu-img convert -f vpc -O raw demo.vhd back.raw
cmp back.raw $RAW || { echo "demo.vhd does not read back as the raw disk" >&2; exit 1; }

# Every file, live or deleted, must come back intact through The Sleuth Kit.
verify() {  # verify SECTOR LIST
  fls -r -p -o "$1" $RAW > listing.txt
  while read -r size hash path; do
    inode=$(awk -F'\t' -v p="$path" '$2==p { n=split($1,a," "); sub(":$","",a[n]); print a[n] }' listing.txt)
    [ -n "$inode" ] || { echo "$path not listed at sector $1" >&2; exit 1; }
    got=$(icat -o "$1" $RAW "$inode" | sha256sum | cut -d" " -f1)
    [ "$got" = "$hash" ] || { echo "$path ($inode) reads back wrong" >&2; exit 1; }
  done < "$2"
}
verify 2048 ntfs-files.txt
verify 83968 fat-files.txt

if [ "${REPORT:-0}" = 1 ]; then
  cat ntfs-files.txt fat-files.txt
  mmls -i vhd demo.vhd; fsstat -o 2048 $RAW | head -25; fls -r -p -o 2048 $RAW | grep -v '\$'
  fsstat -o 83968 $RAW | head -30; fls -r -p -o 83968 $RAW
  "$SAMPLES_DIR/../tests/fixtures/dump-containers.sh" demo.vhd
fi
zstd -q -f -19 --long=27 demo.vhd -o "$SAMPLES_DIR/demo.vhd.zst"
