#!/bin/sh
# TIFF on a 4960 x 7016 bilevel page of text (600 dpi A4): CALS to TIFF and a
# Group 4 TIFF to CALS, whose coded data kro copies without decoding, against
# copying the input file (cp) and GraphicsMagick doing the same job. Goals:
# at most 1.5x cp, at least 20x faster than gm. Then an RGB picture to LZW
# TIFF and back against gm, where both code and decode.
# Usage: sh bench/tiff.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup tiff

page=$(input text-page)
rgb=$(input rgb)
"$kro" convert "$page" "$work/page.cal" -dpi 600
"$kro" convert "$page" "$work/page-g4.tif" -dpi 600
"$kro" convert "$rgb" "$work/rgb-lzw.tif"

echo "CALS to TIFF, TIFF Group 4 to CALS (coded data copied)"
# What kro takes to start at all (its libraries loaded), whatever the job.
measure "start kro" "$kro" --version
measure "cals-tiff kro" "$kro" convert "$work/page.cal" "$work/o-kro.tif"
measure "cals-tiff cp" cp --remove-destination "$work/page.cal" "$work/o-cp.cal"
measure "cals-tiff gm" gm convert "cals:$work/page.cal" -compress Group4 "$work/o-gm.tif"
measure "tiff-cals kro" "$kro" convert "$work/page-g4.tif" "$work/o-kro.cal"
measure "tiff-cals cp" cp --remove-destination "$work/page-g4.tif" "$work/o-cp.tif"
measure "tiff-cals gm" gm convert "$work/page-g4.tif" "cals:$work/o-gm.cal"
echo "6000 x 4000 RGB to LZW TIFF and back to BMP"
measure "rgb-tiff kro" "$kro" convert "$rgb" "$work/o-kro-rgb.tif"
measure "rgb-tiff gm" gm convert "$rgb" -compress LZW "$work/o-gm-rgb.tif"
measure "tiff-rgb kro" "$kro" convert "$work/rgb-lzw.tif" "$work/o-kro-rgb.bmp"
measure "tiff-rgb gm" gm convert "$work/rgb-lzw.tif" "BMP3:$work/o-gm-rgb.bmp"

echo
echo "kro --version (starting kro): $(median_of "start kro") s"
echo "| job | kro (s) | kro less its start (s) | cp (s) | kro / cp | gm (s) | gm / kro |"
echo "|---|---|---|---|---|---|---|"
less_start() { awk -v a="$(median_of "$1")" -v b="$(median_of "start kro")" 'BEGIN { printf "%.4f", a - b }'; }
for job in cals-tiff tiff-cals; do
    echo "| $job | $(median_of "$job kro") | $(less_start "$job kro") | $(median_of "$job cp") | $(ratio "$job kro" "$job cp") | $(median_of "$job gm") | $(ratio "$job gm" "$job kro") |"
done
for job in rgb-tiff tiff-rgb; do
    echo "| $job | $(median_of "$job kro") | $(less_start "$job kro") | | | $(median_of "$job gm") | $(ratio "$job gm" "$job kro") |"
done
