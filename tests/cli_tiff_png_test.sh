#!/bin/sh
# TIFF and PNG through kro: pictures read back exactly by libtiff's tools,
# netpbm and GraphicsMagick both ways; pages of TIFF files in and out; the
# Group 4 copy between CALS and TIFF, and its fallback; batch lines; the
# compression option.
# Usage: cli_tiff_png_test.sh KRO SAMPLES_DIR
set -u
kro=$1 samples=$2
. "$(dirname "$0")/check.sh"
for tool in tifftopnm pnmtotiff pngtopnm pnmtopng bmptopnm ppmtoppm tiffinfo tiffcp gm; do
    command -v $tool >/dev/null || { echo "SKIP: $tool not installed" >&2; exit 0; }
done
cd "$work" || exit 1
# Pictures compared as colour: a gray whose palette is not in ramp order is
# written as a palette picture, which the tools read back as colour.
same() { [ "$(ppmtoppm <"$1" 2>/dev/null | md5sum)" = "$(ppmtoppm <"$2" 2>/dev/null | md5sum)" ]; }
for f in text-bilevel ellipse-gray madras-rgb; do
    cp "$samples/$f.bmp" . && bmptopnm "$f.bmp" >"$f.pnm" 2>/dev/null
done

# --- ours read by theirs, theirs read by ours ---------------------------------
for f in text-bilevel ellipse-gray madras-rgb; do
    "$kro" convert "$f.bmp" "$f.tif" && tifftopnm "$f.tif" >back.pnm 2>/dev/null
    check "$f: .tif read by tifftopnm" 'same back.pnm "$f.pnm"'
    "$kro" convert "$f.bmp" "$f.png" && pngtopnm "$f.png" >back.pnm 2>/dev/null
    check "$f: .png read by pngtopnm" 'same back.pnm "$f.pnm"'
    for theirs in "pnmtotiff -lzw" "pnmtotiff -packbits" "pnmtopng" "gm convert"; do
        case $theirs in
            gm*) gm convert "$f.pnm" theirs.tif ;;
            pnmtopng) pnmtopng "$f.pnm" >theirs.png 2>/dev/null ;;
            *) $theirs "$f.pnm" >theirs.tif 2>/dev/null ;;
        esac
        in=theirs.tif
        [ "$theirs" = pnmtopng ] && in=theirs.png
        "$kro" convert "$in" ours.bmp && bmptopnm ours.bmp >back.pnm 2>/dev/null
        check "$f: $theirs read by kro" 'same back.pnm "$f.pnm"'
    done
done
"$kro" info text-bilevel.tif >info
check "info: pages and compression" 'grep -q "pages:       1" info && grep -q "compression: CCITT Group 4" info'

# Tiled pages, from tiffcp: 1-bit, 4-bit palette, 8-bit gray and RGB, edge
# tiles past the picture; uncompressed tiles that hold more bytes than they
# need (as some writers make them) read too.
pnmquant 7 madras-rgb.pnm 2>/dev/null >seven.pnm && pnmtotiff seven.pnm >seven.tif 2>/dev/null
for f in text-bilevel ellipse-gray madras-rgb seven; do
    [ -e $f.tif ] || pnmtotiff $f.pnm >$f.tif 2>/dev/null
    tiffcp -t -w 32 -l 16 -c none $f.tif tiled.tif && "$kro" convert tiled.tif ours.bmp &&
        bmptopnm ours.bmp >back.pnm 2>/dev/null && tifftopnm tiled.tif >theirs.pnm 2>/dev/null
    check "$f: tiled TIFF read by kro" 'same back.pnm theirs.pnm'
done

# --- pages ----------------------------------------------------------------------
"$kro" convert text-bilevel.bmp ellipse-gray.bmp madras-rgb.png pages.tif
check "three inputs, three pages" '[ "$(tiffinfo pages.tif 2>/dev/null | grep -c "TIFF Directory")" -eq 3 ]'
gm convert 'pages.tif[2]' third.pnm
check "the third page is the third input" 'cmp -s third.pnm madras-rgb.pnm'
"$kro" convert --verbose pages.tif pages.ps >said
check "a TIFF file's pages, pages of a document" '[ "$(grep -c "^%%Page:" pages.ps)" -eq 3 ] && grep -q "page 3 of 3" said'
"$kro" convert pages.tif first.bmp 2>err && bmptopnm first.bmp >back.pnm 2>/dev/null
check "a one-page output takes the first page" 'grep -q "3 pages; a BMP file takes the first" err && cmp -s back.pnm text-bilevel.pnm'
"$kro" convert pages.tif more.tif && "$kro" convert pages.tif more.tif ellipse-gray.bmp again.tif
check "pages of several TIFF inputs add up" '[ "$(tiffinfo again.tif 2>/dev/null | grep -c "TIFF Directory")" -eq 7 ]'

# --- Group 4 carried between CALS and TIFF --------------------------------------
"$kro" convert text-bilevel.bmp page.cal -dpi 300
"$kro" convert --verbose page.cal page.tif >said
tiffcp -c none page.tif plain.tif 2>/dev/null && tifftopnm plain.tif >back.pnm 2>/dev/null
check "CALS to TIFF: copied, and libtiff decodes it" 'grep -q "Group 4 data copied" said && cmp -s back.pnm text-bilevel.pnm'
check "CALS to TIFF: the density" 'tiffinfo page.tif 2>/dev/null | grep -q "Resolution: 300, 300 pixels/inch"'
"$kro" convert --verbose page.tif again.cal >said
check "TIFF to CALS: copied, the same file" 'grep -q "Group 4 data copied" said && cmp -s page.cal again.cal'
tiffcp -f lsb2msb -c g4 page.tif reversed.tif 2>/dev/null
"$kro" convert --verbose reversed.tif reversed.cal >said && "$kro" convert reversed.cal r.bmp &&
    bmptopnm r.bmp >back.pnm 2>/dev/null
check "TIFF to CALS, bits reversed: decoded and coded again" '! grep -q copied said && cmp -s back.pnm text-bilevel.pnm'
"$kro" convert --verbose page.cal scaled.tif -scale 2 >said
check "an option that changes the picture: no copy" '! grep -q copied said && tiffinfo scaled.tif 2>/dev/null | grep -q "Image Width: 524"'

# --- options, batch lines, standard output --------------------------------------
"$kro" convert madras-rgb.bmp packed.tif -compression PackBits
check "-compression PackBits" 'tiffinfo packed.tif 2>/dev/null | grep -q "Compression Scheme: PackBits"'
"$kro" convert madras-rgb.bmp g4.tif -compression G4 2>err
check "-compression G4 on colour: refused, nothing written" '[ $? -eq 1 ] && grep -q 1012160183 err && [ ! -e g4.tif ]'
"$kro" convert madras-rgb.bmp --to tif - >stdout.tif && tifftopnm stdout.tif >back.pnm 2>/dev/null
check "a TIFF on standard output" 'cmp -s back.pnm madras-rgb.pnm'
printf '%s\n' "$work/ellipse-gray.bmp - - - - tif - - - - - - - - - - - - - - - - - - -" \
    "$work/madras-rgb.bmp - - - - png - - - - - - - - - - - - - - - - - - -" >jobs
"$kro" batch jobs >/dev/null
check "batch lines write .tif and .png" '[ -s ellipse-gray.tif ] && pngtopnm madras-rgb.png >back.pnm 2>/dev/null && cmp -s back.pnm madras-rgb.pnm'
echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
