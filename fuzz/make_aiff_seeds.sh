#!/bin/sh
# Makes a small seed corpus for AiffReadFuzz: short files written by sox and
# ffmpeg, and hand-made AIFF and AIFC files with ID3 tags and odd chunks.
# Usage: fuzz/make_aiff_seeds.sh [output folder]   (default: build/fuzz-corpus/aiff)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/aiff}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Big-endian integers and identifiers on standard output.
be32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 >> 24 & 255)) $(($1 >> 16 & 255)) $(($1 >> 8 & 255)) $(($1 & 255)))"; }
be16() { printf "$(printf '\\%03o\\%03o' $(($1 >> 8 & 255)) $(($1 & 255)))"; }
id() { printf '%s' "$1"; }
bytes() { for b in "$@"; do printf "$(printf '\\%03o' "$b")"; done; }
# The 80-bit rates used here.
rate44100() { bytes 64 14 172 68 0 0 0 0 0 0; }
rate96000() { bytes 64 15 187 128 0 0 0 0 0 0; }
# COMM chunk: channels frames bits rate-function
comm() { id COMM; be32 18; be16 "$1"; be32 "$2"; be16 "$3"; "$4"; }
# AIFC COMM chunk: channels frames bits rate-function compression
commc() { id COMM; be32 24; be16 "$1"; be32 "$2"; be16 "$3"; "$4"; id "$5"; bytes 0 0; }
# SSND chunk with n bytes of a ramp (and the pad byte after an odd n)
ssnd() { id SSND; be32 $(($1 + 8)); be32 0; be32 0; i=0; while [ $i -lt "$1" ]; do bytes $((i * 37 & 255)); i=$((i + 1)); done; [ $(($1 % 2)) -eq 0 ] || bytes 0; }
form() { body="$tmp/body"; cat > "$body"; { id FORM; be32 $(($(wc -c < "$body") + 4)); id "$2"; cat "$body"; } > "$1"; }
# An ID3v2.3 tag with a title and a tiny JPEG front cover.
tag() {
    id ID3; bytes 3 0 0 0 0 0 49
    id TIT2; be32 4; bytes 0 0; bytes 0; id abc
    id APIC; be32 25; bytes 0 0; bytes 0; id image/jpeg; bytes 0 3 0; bytes 255 216 255 224 0 16 1 2 3 4 5
}

if command -v sox >/dev/null 2>&1; then
    sox -n -r 44100 -c 2 -b 16 -t aiff "$out/sox16.aif" synth 0.002 sine 440
    sox -n -r 96000 -c 1 -b 24 -t aiff "$out/sox24.aif" synth 0.001 sine 440
    sox -n -r 48000 -c 2 -b 16 -t aifc "$out/soxnone.aifc" synth 0.001 sine 440
fi
if command -v ffmpeg >/dev/null 2>&1; then
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.002" -ac 2 -ar 44100 \
        -c:a pcm_s16le -f aiff "$out/ffsowt.aif"
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.002" -ac 1 -ar 48000 \
        -c:a pcm_s24be -write_id3v2 1 -metadata title=Seed -metadata artist=Odd -f aiff "$out/ffid3.aif"
fi

# Odd-sized 24-bit mono data with its pad byte, then an ID3 chunk with a cover.
{ comm 1 11 24 rate96000; ssnd 33; id "ID3 "; be32 59; tag; bytes 0; } | form "$out/id3_cover.aif" AIFF
# AIFC sowt with a 0-size chunk and an unpadded odd chunk before COMM.
{ id FVER; be32 4; bytes 162 128 81 64; id NAME; be32 0; id ANNO; be32 3; id abc; commc 2 10 16 rate44100 sowt; ssnd 40; } |
    form "$out/sowt_odd_chunks.aifc" AIFC
# An SSND size past the end of the file and a COMM that states more frames.
{ comm 2 100000 16 rate44100; id SSND; be32 4000000000; be32 0; be32 0; be32 0; be32 0; } | form "$out/ssnd_past_end.aif" AIFF
# An SSND offset and a huge ID3 chunk size.
{ comm 2 4 16 rate44100; id SSND; be32 28; be32 4; be32 0; be32 0; bytes 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16;
  id "ID3 "; be32 4294967280; tag; } | form "$out/offset_huge_id3.aif" AIFF

ls "$out" | wc -l | xargs echo "seeds in $out:"
