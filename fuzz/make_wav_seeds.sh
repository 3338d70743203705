#!/bin/sh
# Makes a small seed corpus for WavReadFuzz: short files written by sox and
# ffmpeg, and hand-made files with cue points, INFO texts and odd chunks.
# Usage: fuzz/make_wav_seeds.sh [output folder]   (default: build/fuzz-corpus/wav)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/wav}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Little-endian integers and identifiers on standard output.
le32() { printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)))"; }
le16() { printf "$(printf '\\%03o\\%03o' $(($1 & 255)) $(($1 >> 8 & 255)))"; }
id() { printf '%s' "$1"; }
# fmt chunk: tag channels rate bits
fmt() { id "fmt "; le32 16; le16 "$1"; le16 "$2"; le32 "$3"; le32 $(($3 * $2 * $4 / 8)); le16 $(($2 * $4 / 8)); le16 "$4"; }
# data chunk of n bytes of a ramp
data() { id data; le32 "$1"; i=0; while [ $i -lt "$1" ]; do printf "$(printf '\\%03o' $((i * 37 & 255)))"; i=$((i + 1)); done; }
riff() { body="$tmp/body"; cat > "$body"; { id RIFF; le32 $(($(wc -c < "$body") + 4)); id WAVE; cat "$body"; } > "$1"; }

if command -v sox >/dev/null 2>&1; then
    sox -n -r 44100 -c 2 -b 16 "$out/sox16.wav" synth 0.002 sine 440
    sox -n -r 48000 -c 1 -e floating-point -b 32 "$out/soxfloat.wav" synth 0.002 sine 440
    sox -n -r 96000 -c 2 -b 24 -t wavpcm "$out/sox24.wav" synth 0.001 sine 440
fi
if command -v ffmpeg >/dev/null 2>&1; then
    ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.002" -ac 2 -ar 48000 \
        -metadata title=Seed -metadata artist=Odd "$out/ffinfo.wav"
fi

# Cue points and INFO texts behind odd-sized data (with its pad byte).
{
    fmt 1 1 48000 24
    data 33; printf '\000'
    id "cue "; le32 52; le32 2
    le32 1; le32 0; le32 0; le32 0; le32 0; le32 5
    le32 2; le32 0; le32 0; le32 0; le32 0; le32 9
    id LIST; le32 24; id INFO; id INAM; le32 4; printf 'abc\000'; id IART; le32 2; printf 'x\000'
} | riff "$out/cue_info.wav"

# A 0-size chunk and an unpadded odd chunk before the data.
{ fmt 1 2 44100 16; id JUNK; le32 0; id odd_; le32 3; printf 'abc'; data 40; } | riff "$out/odd_chunks.wav"

# A data size past the end of the file and a huge cue count.
{ fmt 3 2 192000 32; id data; le32 4000000000; le32 0; le32 0; le32 0; le32 0; } | riff "$out/data_past_end.wav"
{ fmt 1 2 88200 16; data 16; id "cue "; le32 4294967280; le32 4294967295; le32 1; le32 0; } | riff "$out/huge_cue.wav"

ls "$out" | wc -l | xargs echo "seeds in $out:"
