#!/bin/sh
# CALS on a 4960 x 7016 bilevel page of text (600 dpi A4): kro against
# GraphicsMagick doing the same job, against libtiff's tiffcp coding and
# decoding Group 4 on the same page, and against cp of the larger of the
# job's two files. Then a page of random noise, the coder's worst case (it
# codes to about twice the plain picture's bytes), both ways.
# Usage: sh bench/cals.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup cals

# A full page of text (90 lines, strokes 3 pels wide, as at 600 dpi).
text=$(input text-page)
noise=$(input noise-page)
for pic in page noise; do
    # The labels of the text page stay unprefixed, as earlier runs had them.
    case $pic in page) in=$text l="" ;; *) in=$noise l="noise " ;; esac
    cal=$work/$pic.cal
    "$kro" convert "$in" "$cal" -dpi 600
    gm convert "$in" -compress none "$work/$pic-raw.tif"
    tiffcp -c g4 "$work/$pic-raw.tif" "$work/$pic-g4.tif"
    echo "$pic: BMP $(stat -c %s "$in") bytes, CALS $(stat -c %s "$cal") bytes"
    measure "${l}cp" cp --remove-destination "$(larger "$in" "$cal")" "$work/o-cp"
    measure "${l}encode kro" "$kro" convert "$in" "$work/o-kro.cal" -dpi 600
    measure "${l}encode gm" gm convert "$in" "cals:$work/o-gm.cal"
    measure "${l}encode tiffcp" tiffcp -c g4 "$work/$pic-raw.tif" "$work/o-tiffcp.tif"
    measure "${l}decode kro" "$kro" convert "$cal" "$work/o-kro.bmp"
    measure "${l}decode gm" gm convert "cals:$cal" "BMP3:$work/o-gm.bmp"
    measure "${l}decode tiffcp" tiffcp -c none "$work/$pic-g4.tif" "$work/o-tiffcp.tif"
done

echo
echo "| job | kro (s) | cp of the larger file (s) | kro / cp | gm (s) | gm / kro | tiffcp (s) | kro / tiffcp |"
echo "|---|---|---|---|---|---|---|---|"
for l in "" "noise "; do
    for job in encode decode; do
        j="$l$job"
        echo "| ${l:-text }$job | $(median_of "$j kro") | $(median_of "${l}cp") | $(ratio "$j kro" "${l}cp") |" \
            "$(median_of "$j gm") | $(ratio "$j gm" "$j kro") | $(median_of "$j tiffcp") | $(ratio "$j kro" "$j tiffcp") |"
    done
done
