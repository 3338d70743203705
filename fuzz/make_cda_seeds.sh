#!/bin/sh
# Makes a small seed corpus for CdaReadFuzz: ".cda" files pointing at the
# tracks of the target's disc image (tracks 1 and 2 are audio, starting at
# sectors 0 and 10; track 3 is data), with and without the 150 sectors of
# the lead-in, and damaged ones.
# Usage: fuzz/make_cda_seeds.sh [output folder]   (default: build/fuzz-corpus/cda)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/cda}
mkdir -p "$out"

byte() { printf "$(printf '\\%03o' "$1")"; }
le16() { byte $(($1 & 255)); byte $(($1 >> 8 & 255)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
msf() { byte $(($1 % 75)); byte $(($1 / 75 % 60)); byte $(($1 / 4500)); byte 0; }
# cda TRACK START LENGTH [FMTSIZE]: a whole .cda file.
cda() {
    printf 'RIFF'; le32 36; printf 'CDDAfmt '; le32 "${4:-24}"
    le16 1; le16 "$1"; le32 305419896; le32 "$2"; le32 "$3"; msf $(($2 + 150)); msf "$3"
}

cda 1 0 10 > "$out/track1.cda"
cda 2 10 10 > "$out/track2.cda"
cda 2 160 10 > "$out/track2_lba.cda"
cda 2 99 10 > "$out/track2_other_start.cda"
cda 3 20 10 > "$out/data_track.cda"
cda 7 0 10 > "$out/no_such_track.cda"
cda 1 0 10 8 > "$out/short_fmt.cda"
# A chunk before "fmt ", and a file cut in its header.
{ printf 'RIFF'; le32 48; printf 'CDDAJUNK'; le32 3; printf 'abc'; byte 0; tail -c +13 "$out/track2.cda"; } > "$out/junk_chunk.cda"
head -c 30 "$out/track1.cda" > "$out/cut.cda"

ls "$out" | wc -l | xargs echo "seeds in $out:"
