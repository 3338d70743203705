#!/bin/sh
# Makes a small seed corpus for SonglistReadFuzz: songlists as the
# application writes them (sections and a flat list, markers, pictures, both
# path forms), the forms other writers may leave (comma decimals, "TRUE",
# missing parts, old and newer versions) and documents that are no songlist.
# Usage: fuzz/make_songlist_seeds.sh [output folder]   (default: build/fuzz-corpus/songlist)
set -eu
out=${1:-$(dirname "$0")/../build/fuzz-corpus/songlist}
mkdir -p "$out"

file() {
    printf '<File><FilePath type="string" option="absolute">%s</FilePath><FilePath type="string" option="relative">%s</FilePath><StartSample type="integer">%s</StartSample><StopSample type="integer">%s</StopSample><MediaUniqueID type="integer">%s</MediaUniqueID></File>' "$1" "$2" "$3" "$4" "$5"
}
track() {
    printf '<Track><Name type="string">%s</Name><TextData><Title type="string">T &amp; U</Title><Artist type="string"/><Album type="string">A</Album><Genre type="string"/><Location type="string"/><RecDate><Year type="string">1999</Year><Month type="string">07</Month><Day type="string">  </Day></RecDate><RecTime><Hour type="string">23</Hour><Minute type="string">05</Minute><Second type="string">  </Second></RecTime></TextData>' "$1"
    printf '<DataSpec><Bit type="integer">16</Bit><SampleRate type="float">%s</SampleRate><Compressed type="boolean">%s</Compressed><Lossless type="boolean">true</Lossless><Format type="string">wav</Format><Channels type="integer">2</Channels><Time><Hour type="integer">0</Hour><Minute type="integer">3</Minute><Second type="float">12.500000</Second></Time></DataSpec>' "$2" "$3"
    printf '<Control><Gain type="float">%s</Gain><Balance type="float">0.250000</Balance><FadeIn><FadeType type="integer">1</FadeType><FadeTime type="float">2.500000</FadeTime></FadeIn><FadeOut><FadeType type="integer">2</FadeType><FadeTime type="float">1.000000</FadeTime></FadeOut><DCCut type="integer">1</DCCut></Control>' "$4"
    printf '<FileInfo>%s</FileInfo><Marker><Mark><Time type="float">1.2345678</Time></Mark><Mark><Time type="float">%s</Time></Mark></Marker></Track>' "$5" "$6"
}
doc() {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<VextalProject version="%s"><ProjectProperties><Creator>Vextal</Creator><SaveDate>1 Jan 2024</SaveDate><SaveTime>12:00:00</SaveTime></ProjectProperties>%s</VextalProject>\n' "$1" "$2"
}

a=$(file /music/a.wav a.wav 0 441000 0)
b=$(file /music/b.wav ../music/b.wav 100 -1 0)
cd_=$(file /dev/sr0 ../../dev/sr0 0 588000 1234567)
sections="<Section><Track>$a</Track></Section><Section><Track>$b</Track></Section>$a$b"
linked="<Section><Track>$a</Track><Track>$b</Track></Section>"
picture='<Picture><FilePath type="string" option="absolute">/pics/c.jpg</FilePath><FilePath type="string" option="relative">pics/c.jpg</FilePath></Picture>'

doc 1.0.0.0 "$(track One 44100.000000 false -3.500000 "$sections$picture" 61.5)" > "$out/sections.vxsl"
doc 1.0.0.0 "$(track Linked 48000.000000 false 0.000000 "$linked<Picture/>" 2)$(track CD 44100.000000 false 1.0 "$cd_" 0)" > "$out/linked_cd.vxsl"
doc 1 "$(track Flat '44100,5' TRUE '-3,5' "$a$b" '2,25')" > "$out/flat_comma.vxsl"
doc "" "$(track Odd nan false inf "<Section/>$(file '' '' -5 -9 99999999999)" -1)" > "$out/odd_values.vxsl"
doc 2.0 "$(track Newer 44100 false 0 "$a" 1)" > "$out/newer.vxsl"
printf '<VextalProject><Track/><Track><Name>only a name</Name></Track><Other/></VextalProject>' > "$out/missing_parts.vxsl"
printf '<VextalProject version="1.0.0.0"/>' > "$out/empty.vxsl"
printf '<NotASonglist><Track><Name>x</Name></Track></NotASonglist>' > "$out/not_songlist.vxsl"

ls "$out" | wc -l | xargs echo "seeds in $out:"
