#!/bin/sh
# Makes a small seed corpus for Mp4ReadFuzz: short M4A and MP4 files written
# by ffmpeg (AAC with and without an edit list, with the index before the
# data, Apple Lossless, a cover picture) and a file with iTunes gapless
# information whose time-to-sample table covers the padding.
# Usage: fuzz/make_mp4_seeds.sh [output folder]   (default: build/fuzz-corpus/mp4)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/mp4}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if ! command -v ffmpeg >/dev/null 2>&1; then
    echo "ffmpeg is needed to make the seeds" >&2
    exit 1
fi
sine() { d=$1; shift; ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=$d:sample_rate=44100" "$@"; }
sine 0.1 -c:a aac -b:a 32k "$out/aac.m4a"
sine 0.1 -c:a aac -b:a 32k -use_editlist 0 "$out/aac_noedit.m4a"
sine 0.1 -c:a aac -b:a 32k -movflags +faststart "$out/aac_faststart.m4a"
sine 0.1 -c:a alac "$out/alac.m4a"
sine 0.1 -c:a aac -b:a 32k -metadata title=Seed -metadata date=2001-02-03T04:05:06 "$out/tags.mp4"
ffmpeg -v error -y -f lavfi -i "color=c=red:s=4x4:d=1" -frames:v 1 "$tmp/cover.png"
sine 0.05 -i "$tmp/cover.png" -map 0:a -map 1:v -c:a aac -b:a 32k -c:v copy \
    -disposition:v attached_pic "$out/cover.m4a"

# iTunes gapless information added to the item list of aac.m4a (its movie
# box is last, so nothing else moves), and its last table entry made a
# whole packet.
python3 - "$out/aac.m4a" "$out/gapless.m4a" <<'PY'
import struct, sys
d = bytearray(open(sys.argv[1], 'rb').read())
def box(t, p): return struct.pack('>I', 8 + len(p)) + t + p
text = b' 00000000 00000400 00000000 0000000000000FA0 00000000 00000000'
item = box(b'----', box(b'mean', bytes(4) + b'com.apple.iTunes') + box(b'name', bytes(4) + b'iTunSMPB') +
           box(b'data', struct.pack('>II', 1, 0) + text))
for t in (b'moov', b'udta', b'meta', b'ilst'):
    i = d.find(t) - 4
    d[i:i + 4] = struct.pack('>I', struct.unpack('>I', d[i:i + 4])[0] + len(item))
i = d.find(b'ilst') - 4
end = i + struct.unpack('>I', d[i:i + 4])[0] - len(item)
d[end:end] = item
s = d.find(b'stts')
n = struct.unpack('>I', d[s + 8:s + 12])[0]
d[s + 12 + 8 * (n - 1) + 4:s + 12 + 8 * n] = struct.pack('>I', 1024)
open(sys.argv[2], 'wb').write(d)
PY

ls "$out" | wc -l | xargs echo "seeds in $out:"
