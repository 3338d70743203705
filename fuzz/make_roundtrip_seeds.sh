#!/bin/sh
# Makes small seed corpora for the write-then-read targets WavWriteReadFuzz,
# AiffWriteReadFuzz and Id3WriteReadFuzz: inputs laid out as the targets take
# them apart (see the targets), with song information of real shape (a date,
# a time, a genre by number, texts outside ASCII), markers, and covers taken
# from JPEG and PNG files that ffmpeg writes.
# Usage: fuzz/make_roundtrip_seeds.sh [output folder]
#   (default: build/fuzz-corpus; the seeds go to wavwrite/, aiffwrite/, id3write/)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus}
mkdir -p "$out/wavwrite" "$out/aiffwrite" "$out/id3write"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

byte() { printf "$(printf '\\%03o' "$1")"; }
be16() { byte $(($1 >> 8 & 255)); byte $(($1 & 255)); }
# A text with its 2-byte length.
text() { printf '%s' "$1" > "$tmp/t"; be16 "$(wc -c < "$tmp/t")"; cat "$tmp/t"; }
# A file's bytes with their 2-byte length.
blob() { be16 "$(wc -c < "$1")"; cat "$1"; }
ramp() { i=0; while [ $i -lt "$1" ]; do byte $((i * 37 & 255)); i=$((i + 1)); done; }

# format byte: rate index (0..5) + 8 x bits index + 32 x (channels - 1) + 128 x float entry
# WAV: format, frames, markers (count, then milliseconds), nine texts, samples.
{ byte 0; be16 100; byte 0; for i in 1 2 3 4 5 6 7 8 9; do text ""; done; ramp 64; } > "$out/wavwrite/plain16.seed"
{ byte $((1 + 8 + 32)); be16 4801; byte 3; be16 0; be16 20; be16 150
  text "Album"; text "Night Song"; text "Various"; text "The Band"; text "Ambient"; text "Room 5"
  text "2024-05-06"; text "21:13:00"; text "Vextal"; ramp 300; } > "$out/wavwrite/texts_markers24.seed"
{ byte $((3 + 16 + 128)); be16 33; byte 1; be16 0; text "Caf$(printf '\303\251')"; text "tab	in"
  for i in 3 4 5 6 7 8 9; do text ""; done; ramp 40; } > "$out/wavwrite/float_nonascii.seed"

# AIFF: format, frames, nine texts, picture (kind 0 none, 1 JPEG, 2 PNG, 3 other, then its bytes), samples.
if command -v ffmpeg >/dev/null 2>&1; then
    ffmpeg -v error -y -f lavfi -i color=c=blue:s=8x8 -frames:v 1 "$tmp/cover.png"
    ffmpeg -v error -y -f lavfi -i color=c=red:s=8x8 -frames:v 1 "$tmp/cover.jpg"
    tail -c +5 "$tmp/cover.jpg" > "$tmp/jpg_body"
    tail -c +9 "$tmp/cover.png" > "$tmp/png_body"
else
    ramp 40 > "$tmp/jpg_body"
    ramp 40 > "$tmp/png_body"
fi
{ byte 8; be16 1001; text "Album $(printf '\303\251t\303\251')"; text "Night Song"; text "Various"; text "The Band"
  text "(17)"; text "not written"; text "2009-03-05"; text "07:08:09"; text "Vextal"
  byte 1; blob "$tmp/jpg_body"; ramp 100; } > "$out/aiffwrite/jpeg_texts24.seed"
{ byte $((2 + 32)); be16 77; for i in 1 2 3 4 5 6; do text ""; done; text "2009-  -  "; text "12:3"; text ""
  byte 2; blob "$tmp/png_body"; ramp 20; } > "$out/aiffwrite/png_partial_date.seed"
{ byte 5; be16 0; text "$(printf '\360\237\216\265 emoji')"; for i in 2 3 4 5 6 7 8 9; do text ""; done; byte 0; } \
    > "$out/aiffwrite/no_frames.seed"

# ID3: offset choice (then the offset when it is a multiple of 3), six texts
# (album, title, album artist, artist, genre, encoder), date, time, picture,
# bytes behind the tag.
{ byte 1; text "Album"; text "Title"; text "Various"; text "Artist"; text "(17)"; text "LAME"
  text "2009-03-05"; text "07:08:09"; byte 1; blob "$tmp/jpg_body"; ramp 10; } > "$out/id3write/all_fields.seed"
{ byte 3; byte 54; text "Caf$(printf '\303')"; text ""; text ""; text ""; text "(RX)"; text ""
  text "1999"; text "2359"; byte 2; blob "$tmp/png_body"; } > "$out/id3write/offset_png.seed"

for d in wavwrite aiffwrite id3write; do ls "$out/$d" | wc -l | xargs echo "seeds in $out/$d:"; done
