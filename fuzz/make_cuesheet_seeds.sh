#!/bin/sh
# Makes a small seed corpus for CueSheetFuzz. A seed is the target's input:
# the cue sheet's length (2 bytes, big-endian) and text, the ".bin" length in
# sectors (2 bytes), a byte that cuts the ".bin" short when below 32 (then 2
# bytes more), and the raw CD-Text packs of "packs.cdt". The sheets are
# hand-made (tracks with pre-gaps, a data track, CD-Text in the sheet and in
# a CD-Text file) and, when shntool is installed, written by it for WAV files
# that sox makes.
# Usage: fuzz/make_cuesheet_seeds.sh [output folder]   (default: build/fuzz-corpus/cuesheet)
set -eu
here=$(dirname "$0")
out=${1:-$here/../build/fuzz-corpus/cuesheet}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

byte() { printf "$(printf '\\%03o' "$1")"; }
be16() { byte $(($1 >> 8 & 255)); byte $(($1 & 255)); }
# seed NAME SECTORS [PACKFILE]: the cue sheet on standard input.
seed() {
    cat > "$tmp/sheet"
    {
        be16 "$(wc -c < "$tmp/sheet")"; cat "$tmp/sheet"; be16 "$2"; byte 255
        if [ -n "${3:-}" ]; then cat "$3"; fi
    } > "$out/$1.seed"
}

printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' | seed one_track 20

cat <<'CUE' | seed three_tracks 120
REM GENRE Test
CATALOG 1234567890123
TITLE "An Album"
PERFORMER "Someone"
FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    TITLE "First"
    FLAGS DCP
    ISRC ABCDE1234567
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    TITLE "Second"
    PERFORMER "Other"
    INDEX 00 00:00:30
    INDEX 01 00:00:40
  TRACK 03 AUDIO
    PREGAP 00:00:10
    INDEX 01 00:01:00
    POSTGAP 00:00:05
CUE

cat <<'CUE' | seed data_track_last 100
FILE "disc.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 01 00:00:20
  TRACK 03 MODE1/2352
    INDEX 01 00:00:50
CUE

cat <<'CUE' | seed data_track_first 100
FILE "disc.bin" BINARY
  TRACK 01 MODE1/2352
    INDEX 01 00:00:00
  TRACK 02 AUDIO
    INDEX 00 00:00:30
    INDEX 01 00:00:32
CUE

cat <<'CUE' | seed two_files_mode2 80
FILE "a.bin" BINARY
  TRACK 01 AUDIO
    INDEX 01 00:00:00
FILE "b.bin" MOTOROLA
  TRACK 02 MODE2/2352
    INDEX 01 00:00:00
CUE

# Track numbers that do not start at 1, and a sheet cut in a line.
printf 'FILE "disc.bin" BINARY\n  TRACK 05 AUDIO\n    INDEX 01 00:00:00\n  TRACK 06 AUDIO\n    INDEX 01 00:00:15\n' |
    seed first_track_5 40
printf 'FILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:0' | seed cut_line 10

# A CD-Text file of raw packs (those of make_cdtext_seeds.sh, without the
# control byte that target takes first), with and without a drive's header.
sh "$here/make_cdtext_seeds.sh" "$tmp/cdtext" >/dev/null
for f in "$tmp"/cdtext/*.cdt; do
    name=$(basename "$f" .cdt)
    tail -c +2 "$f" > "$tmp/packs"
    printf 'CDTEXTFILE "packs.cdt"\nFILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 00:00:20\n  TRACK 03 AUDIO\n    INDEX 01 00:00:40\n' |
        seed "cdtextfile_$name" 60 "$tmp/packs"
done
{ byte 0; byte 18; byte 0; byte 0; tail -c +2 "$tmp/cdtext/latin1.cdt"; } > "$tmp/packs"
printf 'CDTEXTFILE packs.cdt\nFILE "disc.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n' |
    seed cdtextfile_header 30 "$tmp/packs"

# Sheets written by shntool for short WAV files.
if command -v shntool >/dev/null 2>&1 && command -v sox >/dev/null 2>&1; then
    for i in 1 2 3; do
        sox -n -r 44100 -c 2 -b 16 "$tmp/part$i.wav" synth 0.$((i * 3)) sine 440
    done
    (cd "$tmp" && shntool cue part1.wav part2.wav part3.wav 2>/dev/null) | seed shntool_three 90
    (cd "$tmp" && shntool cue part2.wav 2>/dev/null) | seed shntool_one 30
fi

ls "$out" | wc -l | xargs echo "seeds in $out:"
