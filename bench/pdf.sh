#!/bin/sh
# PDF documents, each job timed as a whole process: a CALS page (4960 x 7016,
# 600 dpi text) whose Group 4 data kro copies into the page, against cp of the
# same file and GraphicsMagick (gm convert x.cal x.pdf); a hundred such pages
# into one document against cp of the hundred files; two JPEG files of
# 6000 x 4000, the plaid (a few MB, as photographs are) and the bench's noisy
# photo (77 MB of coded data), copied as they are once decoded at an eighth of
# their size to see that they are whole; and a bilevel BMP page, which kro
# codes with Group 4.
# Usage: sh bench/pdf.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup pdf

page=$(input text-page)
photo=$(input photo)
plaid=$(input rgb)
"$kro" convert "$page" "$work/pdf-page.cal" -dpi 600
"$kro" convert "$photo" "$work/pdf-photo.jpg" -dpi 300
"$kro" convert "$plaid" "$work/pdf-plaid.jpg" -dpi 300
mkdir -p "$work/pdf-set" "$work/pdf-copies"
set --
for n in $(seq -w 1 100); do
    cp "$work/pdf-page.cal" "$work/pdf-set/p$n.cal"
    set -- "$@" "$work/pdf-set/p$n.cal"
done
echo "page.cal ($(stat -c %s "$work/pdf-page.cal") bytes), plaid.jpg ($(stat -c %s "$work/pdf-plaid.jpg") bytes)," \
    "photo.jpg ($(stat -c %s "$work/pdf-photo.jpg") bytes)"

echo "CALS to PDF"
measure "cals kro" "$kro" convert "$work/pdf-page.cal" "$work/o-kro.pdf"
measure "cals cp" cp --remove-destination "$work/pdf-page.cal" "$work/o-cp.cal"
measure "cals gm" gm convert "cals:$work/pdf-page.cal" "$work/o-gm.pdf"
measure "set kro" "$kro" convert "$@" "$work/o-kro-set.pdf"
measure "set cp" cp --remove-destination "$@" "$work/pdf-copies/"
echo "JPEG to PDF"
measure "plaid kro" "$kro" convert "$work/pdf-plaid.jpg" "$work/o-kro-plaid.pdf"
measure "plaid cp" cp --remove-destination "$work/pdf-plaid.jpg" "$work/o-cp-plaid.jpg"
measure "plaid gm" gm convert "$work/pdf-plaid.jpg" "$work/o-gm-plaid.pdf"
measure "jpeg kro" "$kro" convert "$work/pdf-photo.jpg" "$work/o-kro-photo.pdf"
measure "jpeg cp" cp --remove-destination "$work/pdf-photo.jpg" "$work/o-cp.jpg"
measure "jpeg gm" gm convert "$work/pdf-photo.jpg" "$work/o-gm-photo.pdf"
echo "Bilevel BMP to PDF (Group 4 coding)"
measure "bmp kro" "$kro" convert "$page" "$work/o-kro-bmp.pdf"
measure "bmp gm" gm convert "$page" "$work/o-gm-bmp.pdf"

echo
echo "| job | kro (s) | cp (s) | kro / cp | gm (s) | gm / kro | kro output (bytes) | gm output (bytes) |"
echo "|---|---|---|---|---|---|---|---|"
size() { stat -c %s "$work/$1" 2>/dev/null || echo "-"; }
echo "| CALS page to PDF | $(median_of "cals kro") | $(median_of "cals cp") | $(ratio "cals kro" "cals cp") |" \
    "$(median_of "cals gm") | $(ratio "cals gm" "cals kro") | $(size o-kro.pdf) | $(size o-gm.pdf) |"
echo "| 100 CALS pages to one PDF | $(median_of "set kro") | $(median_of "set cp") | $(ratio "set kro" "set cp") |" \
    " | | $(size o-kro-set.pdf) | |"
echo "| JPEG plaid to PDF | $(median_of "plaid kro") | $(median_of "plaid cp") | $(ratio "plaid kro" "plaid cp") |" \
    "$(median_of "plaid gm") | $(ratio "plaid gm" "plaid kro") | $(size o-kro-plaid.pdf) | $(size o-gm-plaid.pdf) |"
echo "| JPEG noisy photo to PDF | $(median_of "jpeg kro") | $(median_of "jpeg cp") | $(ratio "jpeg kro" "jpeg cp") |" \
    "$(median_of "jpeg gm") | $(ratio "jpeg gm" "jpeg kro") | $(size o-kro-photo.pdf) | $(size o-gm-photo.pdf) |"
echo "| bilevel BMP page to PDF | $(median_of "bmp kro") | | |" \
    "$(median_of "bmp gm") | $(ratio "bmp gm" "bmp kro") | $(size o-kro-bmp.pdf) | $(size o-gm-bmp.pdf) |"
