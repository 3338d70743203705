#!/bin/sh
# Makes a small seed corpus for CdTextFuzz: raw CD-Text packs with good CRCs
# (one block in ISO 8859-1, one in MS-JIS, two blocks, a lost pack, a tab
# for a repeated entry, a first track other than 1). Each seed begins with
# the target's control byte (0: the packs as they are).
# Usage: fuzz/make_cdtext_seeds.sh [output folder]   (default: build/fuzz-corpus/cdtext)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/cdtext}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

byte() { printf "$(printf '\\%03o' "$1")"; }
# One pack from its 16 bytes (decimal), with its CRC appended.
pack() {
    crc=0
    for b in "$@"; do
        crc=$((crc ^ (b << 8)))
        i=0
        while [ $i -lt 8 ]; do
            if [ $((crc & 32768)) -ne 0 ]; then crc=$(((crc << 1 ^ 4129) & 65535)); else crc=$((crc << 1 & 65535)); fi
            i=$((i + 1))
        done
    done
    crc=$((~crc & 65535))
    for b in "$@"; do byte "$b"; done
    byte $((crc >> 8))
    byte $((crc & 255))
}
# The decimal bytes of a text.
decimal() { printf '%s' "$1" | od -An -tu1 | tr -s ' \n' '  '; }

# texts TYPE BLOCK UNIT FIRSTSEQ TEXT... : the packs of one field of a block,
# the texts of entries 0, 1, 2 ... in order (UNIT 2: double-byte texts).
# Sets seq to the sequence number after the last pack.
texts() {
    type=$1 block=$2 unit=$3 seq=$4
    shift 4
    stream=""
    entry=0
    for t in "$@"; do
        n=0
        for b in $(decimal "$t"); do
            stream="$stream $b:$entry:$((n / unit))"
            n=$((n + 1))
        done
        z=0
        while [ $z -lt "$unit" ]; do stream="$stream 0:$entry:$((n / unit))"; n=$((n + 1)); z=$((z + 1)); done
        entry=$((entry + 1))
    done
    dbcs=$(((unit - 1) * 128))
    set -- $stream
    while [ $# -gt 0 ]; do
        first=${1#*:}
        track=${first%%:*}
        pos=${first#*:}
        [ "$pos" -gt 15 ] && pos=15
        body=""
        k=0
        while [ $k -lt 12 ]; do
            if [ $# -gt 0 ]; then body="$body ${1%%:*}"; shift; else body="$body 0"; fi
            k=$((k + 1))
        done
        pack "$type" "$track" "$seq" $((dbcs + block * 16 + pos)) $body
        seq=$((seq + 1))
    done
}

# sizeinfo BLOCK CHARCODE FIRST LAST SEQ LANG0 .. LANG7: the three size
# information packs (only the character code, the track range and the
# language codes are filled in).
sizeinfo() {
    block=$1 code=$2 first=$3 last=$4 seq=$5
    shift 5
    pack 143 0 "$seq" $((block * 16)) "$code" "$first" "$last" 0 0 0 0 0 0 0 0 0
    pack 143 1 $((seq + 1)) $((block * 16)) 0 0 0 0 0 0 0 0 0 0 0 0
    pack 143 2 $((seq + 2)) $((block * 16)) 0 0 0 0 "$@"
}

{
    byte 0
    texts 128 0 1 0 "An Album" "First" "Second" "	"
    texts 129 0 1 "$seq" "Someone" "" "Other"
    sizeinfo 0 0 1 3 "$seq" 9 0 0 0 0 0 0 0
} > "$out/latin1.cdt"

if command -v iconv >/dev/null 2>&1; then
    jp1=$(printf '\346\227\245\346\234\254' | iconv -f UTF-8 -t SHIFT_JIS)
    jp2=$(printf '\346\233\262' | iconv -f UTF-8 -t SHIFT_JIS)
    {
        byte 0
        texts 128 0 1 0 "Album" "Song"
        sizeinfo 0 1 1 1 "$seq" 9 105 0 0 0 0 0 0
        texts 128 1 2 0 "$jp1" "$jp2"
        sizeinfo 1 128 1 1 "$seq" 9 105 0 0 0 0 0 0
    } > "$out/two_blocks.cdt"
fi

# Entries numbered from track 5, and a long title over several packs.
{
    byte 0
    texts 128 0 1 0 "Disc" "Track five has a rather long title" "Six"
    sizeinfo 0 0 5 6 "$seq" 9 0 0 0 0 0 0 0
} > "$out/first_track_5.cdt"

# A pack lost from the middle, and one with a broken CRC.
head -c $((1 + 18 * 2)) "$out/first_track_5.cdt" > "$out/lost_pack.cdt"
tail -c +$((2 + 18 * 3)) "$out/first_track_5.cdt" >> "$out/lost_pack.cdt"
{ head -c 30 "$out/latin1.cdt"; byte 255; tail -c +32 "$out/latin1.cdt"; } > "$out/bad_crc.cdt"

ls "$out" | wc -l | xargs echo "seeds in $out:"
