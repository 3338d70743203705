#!/bin/sh
# Makes a small seed corpus for Mp3ReadFuzz: short MP3 files written by
# ffmpeg (constant and variable bit rate, with and without the information
# frame, MPEG-1 and MPEG-2, ID3v2 with a cover, ID3v1, an APE tag) and
# hand-made frames (a VBRI frame, junk before the first frame, a cut file, a
# damaged ID3v2.4 tag before a few frames).
# Usage: fuzz/make_mp3_seeds.sh [output folder]   (default: build/fuzz-corpus/mp3)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/mp3}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

byte() { printf "$(printf '\\%03o' "$1")"; }
be32() { byte $(($1 >> 24 & 255)); byte $(($1 >> 16 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 & 255)); }
le32() { byte $(($1 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 >> 16 & 255)); byte $(($1 >> 24 & 255)); }
zeros() { head -c "$1" /dev/zero; }

if command -v ffmpeg >/dev/null 2>&1; then
    sine() { d=$1; shift; ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=$d" "$@"; }
    sine 0.1 -ac 2 -ar 44100 -c:a libmp3lame -b:a 32k "$out/cbr.mp3"
    sine 0.1 -ac 1 -ar 48000 -c:a libmp3lame -q:a 9 "$out/vbr_mono.mp3"
    sine 0.1 -ac 2 -ar 44100 -c:a libmp3lame -b:a 32k -write_xing 0 "$out/no_info.mp3"
    sine 0.1 -ac 1 -ar 22050 -c:a libmp3lame -b:a 8k "$out/mpeg2.mp3"
    sine 0.1 -ac 1 -ar 44100 -c:a libmp3lame -b:a 32k -write_id3v1 1 \
        -metadata title=Seed -metadata artist=Odd -metadata date=2001-02-03T04:05:06 "$out/tags.mp3"
    ffmpeg -v error -y -f lavfi -i "color=c=red:s=4x4:d=1" -frames:v 1 "$tmp/cover.png"
    sine 0.05 -i "$tmp/cover.png" -map 0:a -map 1:v -c:a libmp3lame -b:a 32k -ac 1 -c:v copy \
        -disposition:v attached_pic -id3v2_version 3 "$out/cover.mp3"
    # An APEv2 tag (footer only) after the audio.
    { cat "$out/cbr.mp3"; printf 'APETAGEX'; le32 2000; le32 32; le32 0; le32 0; zeros 8; } > "$out/ape.mp3"
    # Junk before the first frame, and a file cut in a frame.
    { printf 'junk\377\373junk'; cat "$out/no_info.mp3"; } > "$out/junk_first.mp3"
    head -c 700 "$out/cbr.mp3" > "$out/cut.mp3"
fi

# Files that lame writes: constant bit rate with its information frame,
# variable bit rate at a low rate, and without the information frame.
if command -v lame >/dev/null 2>&1 && command -v sox >/dev/null 2>&1; then
    sox -n -r 44100 -c 2 -b 16 "$tmp/tone.wav" synth 0.1 sine 440
    sox -n -r 16000 -c 1 -b 16 "$tmp/tone16k.wav" synth 0.1 sine 440
    lame --quiet -b 64 "$tmp/tone.wav" "$out/lame_cbr.mp3"
    lame --quiet -V 9 "$tmp/tone16k.wav" "$out/lame_vbr_mpeg2.mp3"
    lame --quiet -b 32 -t "$tmp/tone.wav" "$out/lame_no_info.mp3"
fi

# A VBRI frame (MPEG-1 layer III, 128 kbit/s, 44.1 kHz, stereo: 417 bytes)
# declaring 3 frames, then 3 silent frames.
frame() { byte 255; byte 251; byte 144; byte 0; zeros 413; }
{
    byte 255; byte 251; byte 144; byte 0; zeros 32
    printf 'VBRI'; byte 0; byte 1; byte 0; byte 0; byte 0; byte 50; be32 1251; be32 3; zeros 363
    frame; frame; frame
} > "$out/vbri.mp3"
# An ID3v2.4 tag whose album frame claims more bytes than the tag holds,
# then three frames of 32 kbit/s (104 bytes).
{
    printf 'ID3'; byte 4; byte 0; byte 0; byte 0; byte 0; byte 0; byte 20
    printf 'TALB'; byte 127; byte 127; byte 127; byte 127; byte 0; byte 0; byte 3; printf 'Album'; byte 255; byte 254; byte 0; byte 0
    for i in 1 2 3; do byte 255; byte 251; byte 16; byte 0; zeros 100; done
} > "$out/broken_talb.mp3"
# An Info frame whose counts the file cannot hold.
{
    byte 255; byte 251; byte 144; byte 0; zeros 32
    printf 'Xing'; be32 3; be32 4000000000; be32 4000000000; zeros 365
    frame; frame
} > "$out/huge_count.mp3"

ls "$out" | wc -l | xargs echo "seeds in $out:"
