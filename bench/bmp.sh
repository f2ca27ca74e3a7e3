#!/bin/sh
# BMP to BMP: kro against cp (the hardware limit), GraphicsMagick and netpbm,
# on a 6000 x 4000 RGB picture and a 4960 x 7016 bilevel page.
# Usage: sh bench/bmp.sh [BUILD_DIR]   (peers are installed if missing)
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
build=${1:-build-bench}
bench_setup bmp

[ -s "$work/rgb.bmp" ] || ppmpat -madras 6000 4000 | ppmtobmp -bpp 24 >"$work/rgb.bmp" 2>/dev/null
[ -s "$work/page.bmp" ] || pbmtext -builtin fixed -width 4960 \
    "$(yes 'The quick brown fox jumps over the lazy dog 0123456789.' | head -n 60 | tr '\n' ' ')" 2>/dev/null |
    pnmpad -white -width 4960 -height 7016 | ppmtobmp -bpp 1 >"$work/page.bmp" 2>/dev/null

base=$(/usr/bin/time -f %M "$kro" --version 2>&1 >/dev/null | tail -1)
for pic in rgb page; do
    in=$work/$pic.bmp
    echo "$pic.bmp ($(stat -c %s "$in") bytes)"
    measure "$pic cp" cp "$in" "$work/out-cp.bmp"
    measure "$pic kro" "$kro" convert "$in" "$work/out-kro.bmp"
    measure "$pic gm" gm convert "$in" "BMP3:$work/out-gm.bmp"
    measure "$pic netpbm" sh -c "bmptopnm '$in' 2>/dev/null | ppmtobmp -bpp $([ $pic = rgb ] && echo 24 || echo 1) >'$work/out-pbm.bmp' 2>/dev/null"
done

echo
echo "kro's own footprint (kro --version): $base KiB"
echo "| picture | kro (s) | cp (s) | kro / cp | gm (s) | netpbm (s) | fastest peer / kro | kro peak above footprint / picture bytes |"
echo "|---|---|---|---|---|---|---|---|"
for pic in rgb page; do
    bytes=$(stat -c %s "$work/$pic.bmp")
    gm=$(median_of "$pic gm") pbm=$(median_of "$pic netpbm")
    best=$(awk -v a="$gm" -v b="$pbm" 'BEGIN { print (a < b) ? "gm" : "netpbm" }')
    mem=$(awk -v k="$(peak_of "$pic kro")" -v z="$base" -v b="$bytes" 'BEGIN { printf "%.2f", (k - z) * 1024 / b }')
    echo "| $pic | $(median_of "$pic kro") | $(median_of "$pic cp") | $(ratio "$pic kro" "$pic cp") | $gm | $pbm | $(ratio "$pic $best" "$pic kro") | $mem |"
done
