#!/bin/sh
# BMP to BMP: kro against cp (the hardware limit), GraphicsMagick and netpbm,
# on two 6000 x 4000 RGB pictures (the plaid and the fractal-noise photograph)
# and a 4960 x 7016 bilevel page.
# Usage: sh bench/bmp.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup bmp

input rgb >/dev/null
input photo >/dev/null
input page >/dev/null

base=$(kro_footprint)
for pic in rgb photo page; do
    in=$work/$pic.bmp
    echo "$pic.bmp ($(stat -c %s "$in") bytes)"
    measure "$pic cp" cp --remove-destination "$in" "$work/out-cp.bmp"
    measure "$pic kro" "$kro" convert "$in" "$work/out-kro.bmp"
    measure "$pic gm" gm convert "$in" "BMP3:$work/out-gm.bmp"
    measure "$pic netpbm" sh -c "bmptopnm '$in' 2>/dev/null | ppmtobmp -bpp $([ $pic = page ] && echo 1 || echo 24) >'$work/out-pbm.bmp' 2>/dev/null"
done

echo
echo "kro's own footprint (kro --version): $base KiB"
echo "| picture | kro (s) | cp (s) | kro / cp | gm (s) | netpbm (s) | fastest peer / kro | kro peak above footprint / picture bytes |"
echo "|---|---|---|---|---|---|---|---|"
for pic in rgb photo page; do
    bytes=$(stat -c %s "$work/$pic.bmp")
    gm=$(median_of "$pic gm") pbm=$(median_of "$pic netpbm")
    best=$(awk -v a="$gm" -v b="$pbm" 'BEGIN { print (a < b) ? "gm" : "netpbm" }')
    mem=$(awk -v k="$(peak_of "$pic kro")" -v z="$base" -v b="$bytes" 'BEGIN { printf "%.2f", (k - z) * 1024 / b }')
    echo "| $pic | $(median_of "$pic kro") | $(median_of "$pic cp") | $(ratio "$pic kro" "$pic cp") | $gm | $pbm | $(ratio "$pic $best" "$pic kro") | $mem |"
done
