#!/bin/sh
# kro convert's looks: the full look in colour where the plot has colour,
# bilevel where it has none or the format holds none, the design's on request.
kro="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0
check() { if eval "$2"; then pass=$((pass + 1)); else echo "FAIL: $1"; fail=$((fail + 1)); fi; }
# PNG header: byte 25 the bit depth, byte 26 the colour type (0 gray, 2 RGB).
png_depth() { od -An -tu1 -j24 -N2 "$1" | tr -s ' ' | sed 's/^ //'; }
# BMP header: bits per pixel at byte 29.
bmp_bits() { od -An -tu2 -j28 -N2 "$1" | tr -d ' '; }

printf 'IN;SP2;PA0,0;RA2000,1000;SP1;PD0,2000;PU;' >"$work/colour.hpgl"
printf 'IN;SP1;PA0,0;PD2000,0,2000,2000;PU;' >"$work/black.hpgl"

"$kro" convert "$work/colour.hpgl" "$work/colour.png" -dpi 50
check "a plot in colour gives an RGB PNG" '[ "$(png_depth "$work/colour.png")" = "8 2" ]'
"$kro" convert "$work/black.hpgl" "$work/black.png" -dpi 50
check "a black plot stays 1-bit" '[ "$(png_depth "$work/black.png")" = "1 0" ]'
"$kro" convert --style design "$work/colour.hpgl" "$work/design.png" -dpi 50
check "the design's look is black" '[ "$(png_depth "$work/design.png")" = "1 0" ]'
"$kro" convert "$work/colour.hpgl" "$work/colour.bmp" -dpi 50
check "BMP holds the colour" '[ "$(bmp_bits "$work/colour.bmp")" = "24" ]'
"$kro" convert "$work/colour.hpgl" "$work/colour.cal" -dpi 50
check "CALS takes the page bilevel" '[ $? -eq 0 ] && [ -s "$work/colour.cal" ]'
"$kro" convert --style plain "$work/colour.hpgl" "$work/no.png" 2>/dev/null
check "--style takes full or design" '[ $? -ne 0 ] && [ ! -e "$work/no.png" ]'

# PG: a page of a document, or a file a page for one-page formats.
printf 'IN;SP1;PA0,0;PD2000,0,2000,1000;PG;PU;PA0,0;PD1000,2000;PG;PD0,0;PG;' >"$work/pages.hpgl"
"$kro" convert "$work/pages.hpgl" "$work/p.png" -dpi 50 2>"$work/pages.err"
check "three pages, three PNG files" '[ -s "$work/p.png" ] && [ -s "$work/p-2.png" ] && [ -s "$work/p-3.png" ] && [ ! -e "$work/p-4.png" ]'
check "kro names the files of the pages" 'grep -q "pages.hpgl has 3 pages: .*p.png, .*p-2.png, .*p-3.png" "$work/pages.err"'
check "each page measured on its own" '[ "$(od -An -tu1 -j16 -N8 "$work/p-2.png" | tr -s " ")" != "$(od -An -tu1 -j16 -N8 "$work/p.png" | tr -s " ")" ]'
check "kro info counts the pages" '"$kro" info "$work/pages.hpgl" | grep -q "pages: *3"'
"$kro" convert "$work/pages.hpgl" "$work/p.ps" -dpi 50
check "PostScript takes every page" '[ "$(grep -c "^showpage" "$work/p.ps")" = 3 ]'
if command -v pdfinfo >/dev/null 2>&1; then
    "$kro" convert "$work/pages.hpgl" "$work/p.pdf"
    check "PDF takes every page" 'pdfinfo "$work/p.pdf" | grep -q "^Pages: *3"'
fi
"$kro" convert --style design "$work/pages.hpgl" "$work/d.png" -dpi 50 2>"$work/design.err"
check "the design's look draws the pages as one" '[ ! -e "$work/d-2.png" ] && [ ! -s "$work/design.err" ]'

# plotutils' HP-GL/2 (PW widths, palette pens) drawn in colour.
if command -v graph >/dev/null 2>&1; then
    printf '0 0\n1 1\n2 4\n3 9\n' | HPGL_VERSION=2 graph -T hpgl -C -m 2 >"$work/graph.hpgl"
    "$kro" convert "$work/graph.hpgl" "$work/graph.png" -dpi 100
    check "graph's plot converts in colour" '[ "$(png_depth "$work/graph.png")" = "8 2" ]'
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
