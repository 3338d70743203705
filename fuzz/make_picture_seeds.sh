#!/bin/sh
# Makes a small seed corpus for ImageLoaderFuzz and PictureReadFuzz: tiny
# PNG, JPEG and GIF pictures written by ffmpeg (colour, grey, palette,
# transparent), hand-made GIFs, and AIFF and M4A files holding a cover.
# Usage: fuzz/make_picture_seeds.sh [output folder]   (default: build/fuzz-corpus/picture)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/picture}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

if command -v ffmpeg >/dev/null 2>&1; then
    pic2() { s=$1; shift; ffmpeg -v error -y -f lavfi -i "testsrc=s=$s:d=1" -frames:v 1 "$@"; }
    pic2 5x3 -pix_fmt rgb24 "$out/rgb.png"
    pic2 4x4 -pix_fmt rgba "$out/rgba.png"
    pic2 6x2 -pix_fmt gray16be "$out/gray16.png"
    pic2 7x5 -pix_fmt pal8 "$out/palette.png"
    pic2 3x9 -pix_fmt monob "$out/mono.png"
    pic2 9x7 -pix_fmt yuvj420p "$out/colour.jpg"
    pic2 8x8 -pix_fmt gray "$out/grey.jpg"
    pic2 17x9 -pix_fmt yuvj444p -q:v 2 "$out/444.jpg"
    pic2 6x6 "$out/plain.gif"
    ffmpeg -v error -y -f lavfi -i "color=c=red@0.0:s=4x4:d=1,format=rgba" -frames:v 1 "$out/transparent.gif"
    # Pictures inside audio files, for the attached-picture reader.
    sine() { ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.02" "$@"; }
    sine -i "$out/grey.jpg" -map 0:a -map 1:v -c:v copy -disposition:v attached_pic \
        -write_id3v2 1 -ac 1 "$out/cover.aif"
    sine -i "$out/rgb.png" -map 0:a -map 1:v -c:v copy -disposition:v attached_pic \
        -c:a aac -b:a 32k -ac 1 "$out/cover.m4a"
fi
# Hand-made: an interlaced GIF with a local table and a transparent colour,
# a GIF cut in its image data, and files with only a signature.
{
    printf 'GIF89a\004\000\004\000\000\000\000'
    printf '\041\371\004\001\000\000\001\000'
    printf '\054\000\000\000\000\004\000\004\000\301\377\000\000\000\377\000\000\000\377\377\377\377'
    printf '\002\005\204\217\251\313\005\000\073'
} > "$out/interlaced.gif"
head -c 30 "$out/interlaced.gif" > "$out/cut.gif"
printf '\211PNG\r\n\032\n' > "$out/signature.png"
printf '\377\330\377\340' > "$out/signature.jpg"

ls "$out" | wc -l | xargs echo "seeds in $out:"
