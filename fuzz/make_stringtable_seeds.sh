#!/bin/sh
# Makes a small seed corpus for StringTableFuzz: the shipped string tables and
# small hand-made documents with comments, CDATA, references and odd nesting.
# Usage: fuzz/make_stringtable_seeds.sh [output folder]   (default: build/fuzz-corpus/stringtable)
set -eu
here=$(dirname "$0")
out=${1:-$here/../build/fuzz-corpus/stringtable}
mkdir -p "$out"

for table in "$here"/../Resources/*/LocalizableStrings.xml; do
    [ -f "$table" ] && cp "$table" "$out/$(basename "$(dirname "$table")").xml"
done

printf '<?xml version="1.0" encoding="UTF-8"?>\n<T>\n  <A Text="one##two"/>\n  <B Text='"'"'&amp;&lt;&#65;&#x42;'"'"'/>\n  <A Text="again"/>\n</T>\n' > "$out/small.xml"
printf '\357\273\277<T><!-- note --><A Text="x">text<![CDATA[<raw>]]></A><B/><C Other="y"/></T>' > "$out/bom_cdata.xml"
printf '<T><A><B><C Text="deep"/></B></A></T>' > "$out/nested.xml"
printf '<?pi?><T>\n<A Text="a"/><?inside?>text</T>' > "$out/pi_inside.xml"
printf '<!DOCTYPE T [<!ENTITY e "<A Text=\\"e\\"/>">]><T>&e;</T>' > "$out/doctype.xml"
printf '<T><A Text="x"></T>' > "$out/unclosed.xml"

ls "$out" | wc -l | xargs echo "seeds in $out:"
