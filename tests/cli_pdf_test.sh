#!/bin/sh
# PDF documents from kro: bilevel pages as Group 4, JPEG files and CALS
# Group 4 data copied as they are, a hundred CALS pages in one document,
# plots among pictures, batch lines, and damaged inputs that leave no output.
# Ghostscript draws the pages back; pdfimages tells how each is coded.
# Usage: cli_pdf_test.sh KRO SAMPLES_DIR
set -u
kro=$1 samples=$(cd "$2" && pwd)
. "$(dirname "$0")/check.sh"
cd "$work" || exit 1
for tool in gs pdfimages pbmtext cjpeg bmptopnm; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool missing"; exit 0; }
done

# same A B: two netpbm pictures with the same pixels (Ghostscript writes a comment).
same() { [ -s "$1" ] && [ -s "$2" ] && [ "$(pamtopnm <"$1" | md5sum)" = "$(pamtopnm <"$2" | md5sum)" ]; }
# draw DOC DPI: each page of DOC as d-NNN.pbm.
draw() { rm -f d-*.pbm && gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pbmraw -r"$2" -o d-%03d.pbm "$1"; }
# codings DOC: the enc column of pdfimages -list, one word a page.
codings() { pdfimages -list "$1" | awk 'NR > 2 { printf "%s ", $9 }'; }

# Four bilevel pages of odd widths, as BMP and as CALS at 200 dpi.
for i in 0 1 2 3; do
    pbmtext -builtin fixed "Page $i of the set" 2>/dev/null | pnmpad -white -width $((201 + 2 * i)) -height 60 >page$i.pbm
    ppmtobmp -bpp 1 <page$i.pbm >page$i.bmp 2>/dev/null
    "$kro" convert page$i.bmp page$i.cal -dpi 200 || bad "page $i to CALS"
done

# --- bilevel pictures are Group 4 pages -------------------------------------
"$kro" convert page1.bmp bmp.pdf -dpi 200
check "a bilevel BMP: one Group 4 page" '[ "$(codings bmp.pdf)" = "ccitt " ]'
check "... drawn as the picture" 'draw bmp.pdf 200 && same d-001.pbm page1.pbm'
"$kro" convert page2.cal - --to pdf | cat >piped.pdf
check "a CALS file through a pipe" 'draw piped.pdf 200 && same d-001.pbm page2.pbm'

# --- a hundred CALS pages: their coded data copied, page for page -----------
set --
for n in $(seq 0 99); do set -- "$@" page$((n % 4)).cal; done
"$kro" convert "$@" set.pdf
check "100 CALS files: 100 Group 4 pages" '[ "$(codings set.pdf | tr " " "\n" | sort | uniq -c | awk "{ print \$1, \$2 }")" = "100 ccitt" ]'
coded=$(tail -c +2049 page3.cal | md5sum)
pdfimages -ccitt -f 4 -l 4 set.pdf g4 2>/dev/null
check "... page 4 holds page3.cal's coded data as it is" '[ "$(md5sum <g4-000.ccitt)" = "$coded" ]'
for i in 0 1 2 3; do "$kro" convert page$i.cal decoded$i.bmp && bmptopnm <decoded$i.bmp >decoded$i.pbm 2>/dev/null; done
draw set.pdf 200
wrong=0
for n in $(seq 0 99); do
    same d-$(printf %03d $((n + 1))).pbm decoded$((n % 4)).pbm || wrong=$((wrong + 1))
done
check "... Ghostscript draws each page as kro decodes its file" '[ "$wrong" -eq 0 ]'

# --- pages of CALS files whose lines run other ways are turned as kro reads them
wrong=""
for orient in 000,270 090,270 180,270 270,270 000,090 090,090 180,090 270,090; do
    cp page1.cal turned.cal
    printf 'rorient: %s' "$orient" | dd of=turned.cal bs=1 seek=896 conv=notrunc 2>/dev/null
    "$kro" convert turned.cal turned.pdf --verbose | grep -q "coded data copied" || wrong="$wrong copy:$orient"
    "$kro" convert turned.cal turned.bmp && bmptopnm <turned.bmp >turned.pbm 2>/dev/null
    draw turned.pdf 200 && same d-001.pbm turned.pbm || wrong="$wrong $orient"
done
check "CALS orientations: copied, and drawn upright as kro decodes them" '[ -z "$wrong" ] || { echo "$wrong"; false; }'

# --- JPEG files are copied whole ---------------------------------------------
bmptopnm "$samples/madras-rgb.bmp" 2>/dev/null >madras.ppm
cjpeg -quality 85 madras.ppm >colour.jpg
cjpeg -grayscale -progressive madras.ppm >gray.jpg
"$kro" convert colour.jpg gray.jpg jpegs.pdf
check "JPEG files: DCT pages" '[ "$(codings jpegs.pdf)" = "jpeg jpeg " ]'
pdfimages -j jpegs.pdf x
check "... extracted byte for byte" 'cmp -s x-000.jpg colour.jpg && cmp -s x-001.jpg gray.jpg'
"$kro" convert colour.jpg -colortype GrayScale toned.pdf
check "a colour option decodes the JPEG" '[ "$(codings toned.pdf)" = "image " ]'
head -c $(($(wc -c <colour.jpg) - 2)) colour.jpg >no-eoi.jpg
"$kro" convert no-eoi.jpg no-eoi.pdf
check "a JPEG without its end marker is decoded, as the reader takes it" '[ $? -eq 0 ] && [ "$(codings no-eoi.pdf)" = "image " ]'

# --- damaged inputs leave no output ------------------------------------------
head -c $(($(wc -c <colour.jpg) / 2)) colour.jpg >cut.jpg
"$kro" convert page0.cal cut.jpg cut.pdf 2>err
check "a cut JPEG: refused, no PDF" '[ $? -eq 1 ] && grep -q "cut.jpg:.*status 1012140135" err && [ ! -e cut.pdf ]'
head -c 2080 page0.cal >cut.cal
"$kro" convert cut.cal cut.pdf 2>err
check "a cut CALS file: refused, no PDF" '[ $? -eq 1 ] && grep -q "cut.cal:.*status" err && [ ! -e cut.pdf ]'

# --- options that change the picture decode it -------------------------------
"$kro" convert page0.cal half.pdf -dpi 100 2>/dev/null
check "a CALS page at another resolution is coded again" '[ "$(pdfimages -list half.pdf | awk "NR == 3 { print \$4 }")" -lt 150 ]'

# --- plots: vectors alone, a raster page among pictures ----------------------
printf 'IN;SP1;PA0,0;PD2000,0,2000,1000,0,1000,0,0;PU;\n' >plot.plt
"$kro" convert plot.plt plot.pdf -dpi 100
unix_check "a plot alone is drawn as vectors" '[ -z "$(codings plot.pdf)" ] && grep -aq "cairo" plot.pdf'
"$kro" convert plot.plt page1.cal mixed.pdf -dpi 100
check "a plot among pictures is a page of pixels" '[ "$(codings mixed.pdf | wc -w)" -eq 2 ]'

# --- batch lines write PDF ---------------------------------------------------
echo "$work/page3.cal - - - - pdf - - - - - - - $work/out - - - - - - - - - - -" >jobs
mkdir out && "$kro" batch jobs >/dev/null 2>&1
check "a batch line to PDF" 'draw out/page3.pdf 200 && same d-001.pbm page3.pbm'

# --- the pages of a TIFF file are pages of the document ---------------------
"$kro" convert page0.cal page0.tif && "$kro" convert page0.tif page1.bmp page0.tif pages.tif -dpi 200
"$kro" convert pages.tif page3.cal pages.pdf
check "a 3-page TIFF and a CALS file: four pages" 'draw pages.pdf 200 && [ -s d-004.pbm ] && [ ! -e d-005.pbm ]'
check "... the TIFF's pages in order" 'same d-001.pbm page0.pbm && same d-002.pbm page1.pbm && same d-004.pbm page3.pbm'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
