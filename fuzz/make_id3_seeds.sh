#!/bin/sh
# Makes a small seed corpus for Id3ReadFuzz: MP3 files tagged by ffmpeg and
# hand-made ID3v2.2, ID3v2.3 and ID3v2.4 tags and ID3v1 tags.
# Usage: fuzz/make_id3_seeds.sh [output folder]   (default: build/fuzz-corpus/id3)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/id3}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

byte() { printf "$(printf '\\%03o' "$1")"; }
be32() { byte $(($1 >> 24 & 255)); byte $(($1 >> 16 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 & 255)); }
be24() { byte $(($1 >> 16 & 255)); byte $(($1 >> 8 & 255)); byte $(($1 & 255)); }
syncsafe() { byte $(($1 >> 21 & 127)); byte $(($1 >> 14 & 127)); byte $(($1 >> 7 & 127)); byte $(($1 & 127)); }
size() { wc -c < "$1" | tr -d ' '; }
# Frames read their body from standard input: frame22 ID, frame23 ID, frame24 ID.
frame22() { cat > "$tmp/f"; printf '%s' "$1"; be24 "$(size "$tmp/f")"; cat "$tmp/f"; }
frame23() { cat > "$tmp/f"; printf '%s' "$1"; be32 "$(size "$tmp/f")"; printf '\000\000'; cat "$tmp/f"; }
frame24() { cat > "$tmp/f"; printf '%s' "$1"; syncsafe "$(size "$tmp/f")"; printf '\000\000'; cat "$tmp/f"; }
# A tag around the frames on standard input: tag MAJOR FLAGS FILE
tag() { cat > "$tmp/t"; { printf 'ID3'; byte "$1"; byte 0; byte "$2"; syncsafe "$(size "$tmp/t")"; cat "$tmp/t"; } > "$3"; }
jpeg() { printf '\377\330\377\340\000\020JFIF\000\001\001\000\000\001\000\001\000\000\377\331'; }

{
    printf '\000Song' | frame22 TT2
    printf '\000(17)' | frame22 TCO
    printf '\0001999' | frame22 TYE
    printf '\0003112' | frame22 TDA
    { printf '\000JPG\003\000'; jpeg; } | frame22 PIC
} | tag 2 0 "$out/v22.id3"

{
    printf '\001\377\376M\000\374\000l\000' | frame23 TIT2
    printf '\001\376\377\000M\000\374\000l' | frame23 TPE1
    printf '\000(RX)' | frame23 TCON
    printf '\0002009' | frame23 TYER
    printf '\0000503' | frame23 TDAT
    printf '\0001408' | frame23 TIME
    printf '\000guitarist\000Jo' | frame23 TXXX
    { printf '\000image/jpeg\000\003desc\000'; jpeg; } | frame23 APIC
    printf '\000\000\000\000\000\000\000\000'
} | tag 3 0 "$out/v23.id3"

{ be32 6; printf '\000\000\000\000\000\000'; printf '\000Title' | frame23 TIT2; } | tag 3 64 "$out/v23ext.id3"
{ printf '\000Hidden' | frame23 TIT2; } | tag 3 128 "$out/v23unsync.id3"

{
    syncsafe 6; printf '\001\000'
    printf '\0032009-03-05T07:08:09' | frame24 TDRC
    printf '\003Caf\303\251' | frame24 TIT2
    { printf '\003image/png\000\003\000\211PNG\r\n\032\n'; } | frame24 APIC
} | tag 4 80 "$out/v24.id3"
# The footer behind the ID3v2.4 tag.
{ printf '3DI'; tail -c +4 "$out/v24.id3" | head -c 7; } >> "$out/v24.id3"

# ID3v1.1 and ID3v1.0 tags behind some bytes.
v1() { printf 'TAG'; printf '%-30.30s%-30.30s%-30.30s%-4.4s' "$1" Artist Album 2009; printf '%s' "$2"; byte "$3"; }
{ printf 'audio'; v1 Title "$(printf '%-30.30s' Comment)" 17; } > "$out/v1.mp3"
{ printf 'audio'; printf 'TAG'; printf '%-30.30s' Title Artist Album; printf '2009'; printf '%-28.28s' Comment; byte 0; byte 5; byte 200; } > "$out/v11.mp3"

if command -v ffmpeg >/dev/null 2>&1; then
    ffmpeg -v error -y -f lavfi -i color=c=blue:s=8x8 -frames:v 1 "$tmp/cover.png"
    for v in 3 4; do
        ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=0.05" -i "$tmp/cover.png" \
            -map 0 -map 1 -c:v copy -id3v2_version $v -write_id3v1 1 \
            -metadata title=Seed -metadata artist="Ärtist" -metadata album=Album -metadata genre="(17)" \
            -metadata date=2009-03-05 "$out/ffmpeg_v2$v.mp3"
    done
fi
# Tags written by tag editors on an MP3 file that lame makes: id3v2 (ID3v2.3
# and ID3v1) and eyeD3 (ID3v2.4, ID3v2.3 with a cover and comments, ID3v2.2).
if command -v lame >/dev/null 2>&1 && command -v sox >/dev/null 2>&1; then
    sox -n -r 44100 -c 1 -b 16 "$tmp/tone.wav" synth 0.05 sine 440
    lame --quiet -b 32 "$tmp/tone.wav" "$tmp/plain.mp3"
    lame --quiet -b 32 --tt "Lame Title" --ta "Lame Artist" --tl Album --ty 2009 --tg Rock --add-id3v2 \
        "$tmp/tone.wav" "$out/lame_tags.mp3"
    if command -v id3v2 >/dev/null 2>&1; then
        cp "$tmp/plain.mp3" "$out/id3v2_tool.mp3"
        id3v2 -t "Title" -a "Artist" -A "Album" -y 1999 -g 17 -T 3/12 -c "A comment" "$out/id3v2_tool.mp3" >/dev/null
    fi
    if command -v eyeD3 >/dev/null 2>&1 && command -v ffmpeg >/dev/null 2>&1; then
        ffmpeg -v error -y -f lavfi -i color=c=green:s=8x8 -frames:v 1 "$tmp/eyed3.jpg"
        for v in 2.4 2.3 2.2; do
            cp "$tmp/plain.mp3" "$out/eyed3_v$v.mp3"
            eyeD3 -Q --no-color --to-v$v -t "Caf\303\251" -a "Artist" -A "Album" -G "Jazz" \
                --recording-date 2009-03-05T07:08:09 -c "comment" "$out/eyed3_v$v.mp3" >/dev/null 2>&1 || true
        done
        eyeD3 -Q --no-color --to-v2.3 --add-image "$tmp/eyed3.jpg:FRONT_COVER" "$out/eyed3_v2.3.mp3" >/dev/null 2>&1 || true
    fi
fi
ls "$out" | wc -l
