#!/bin/sh
# CALS on a 4960 x 7016 bilevel page of text (600 dpi A4): kro against
# GraphicsMagick doing the same job, and against libtiff's tiffcp coding and
# decoding Group 4 on the same page. Then a page of random noise, the coder's
# worst case (it codes to about twice the plain picture's bytes).
# Usage: sh bench/cals.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup cals

# A full page of text (90 lines, strokes 3 pels wide, as at 600 dpi).
page=$(input text-page)
noise=$(input noise-page)
"$kro" convert "$page" "$work/page.cal" -dpi 600
gm convert "$page" -compress none "$work/page-raw.tif"
tiffcp -c g4 "$work/page-raw.tif" "$work/page-g4.tif"

echo "BMP to CALS (encode)"
measure "encode kro" "$kro" convert "$page" "$work/o-kro.cal" -dpi 600
measure "encode gm" gm convert "$page" "cals:$work/o-gm.cal"
measure "encode tiffcp" tiffcp -c g4 "$work/page-raw.tif" "$work/o-tiffcp.tif"
measure "noise kro" "$kro" convert "$noise" "$work/o-kro-noise.cal" -dpi 600
measure "noise gm" gm convert "$noise" "cals:$work/o-gm-noise.cal"
echo "CALS to BMP (decode)"
measure "decode kro" "$kro" convert "$work/page.cal" "$work/o-kro.bmp"
measure "decode gm" gm convert "cals:$work/page.cal" "BMP3:$work/o-gm.bmp"
measure "decode tiffcp" tiffcp -c none "$work/page-g4.tif" "$work/o-tiffcp.tif"

echo
echo "| job | kro (s) | gm (s) | gm / kro | tiffcp (s) | kro / tiffcp |"
echo "|---|---|---|---|---|---|"
for job in encode decode; do
    echo "| $job | $(median_of "$job kro") | $(median_of "$job gm") | $(ratio "$job gm" "$job kro") | $(median_of "$job tiffcp") | $(ratio "$job kro" "$job tiffcp") |"
done
echo "| encode noise | $(median_of "noise kro") | $(median_of "noise gm") | $(ratio "noise gm" "noise kro") | | |"
