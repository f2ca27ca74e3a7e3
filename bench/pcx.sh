#!/bin/sh
# BMP to PCX and PCX to BMP: kro against cp (the hardware limit),
# GraphicsMagick and netpbm, on a 6000 x 4000 RGB picture.
# Usage: sh bench/pcx.sh [BUILD_DIR]   (peers are installed if missing)
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
build=${1:-build-bench}
bench_setup pcx

[ -s "$work/rgb.bmp" ] || ppmpat -madras 6000 4000 | ppmtobmp -bpp 24 >"$work/rgb.bmp" 2>/dev/null
[ -s "$work/rgb.pcx" ] || "$kro" convert "$work/rgb.bmp" "$work/rgb.pcx"

base=$(/usr/bin/time -f %M "$kro" --version 2>&1 >/dev/null | tail -1)
bmp=$work/rgb.bmp pcx=$work/rgb.pcx
echo "rgb.bmp ($(stat -c %s "$bmp") bytes), rgb.pcx ($(stat -c %s "$pcx") bytes)"
measure "encode cp" cp "$bmp" "$work/out-cp.bmp"
measure "encode kro" "$kro" convert "$bmp" "$work/out-kro.pcx"
measure "encode gm" gm convert "$bmp" "PCX:$work/out-gm.pcx"
measure "encode netpbm" sh -c "bmptopnm '$bmp' 2>/dev/null | ppmtopcx -24bit >'$work/out-pbm.pcx' 2>/dev/null"
measure "decode cp" cp "$pcx" "$work/out-cp.pcx"
measure "decode kro" "$kro" convert "$pcx" "$work/out-kro.bmp"
measure "decode gm" gm convert "PCX:$pcx" "BMP3:$work/out-gm.bmp"
measure "decode netpbm" sh -c "pcxtoppm '$pcx' 2>/dev/null | ppmtobmp -bpp 24 >'$work/out-pbm.bmp' 2>/dev/null"

bytes=$(stat -c %s "$bmp")
echo
echo "kro's own footprint (kro --version): $base KiB"
echo "| job | kro (s) | cp (s) | kro / cp | gm (s) | netpbm (s) | fastest peer / kro | kro peak above footprint / picture bytes |"
echo "|---|---|---|---|---|---|---|---|"
for job in encode decode; do
    gm=$(median_of "$job gm") pbm=$(median_of "$job netpbm")
    best=$(awk -v a="$gm" -v b="$pbm" 'BEGIN { print (a < b) ? "gm" : "netpbm" }')
    mem=$(awk -v k="$(peak_of "$job kro")" -v z="$base" -v b="$bytes" 'BEGIN { printf "%.2f", (k - z) * 1024 / b }')
    echo "| $job | $(median_of "$job kro") | $(median_of "$job cp") | $(ratio "$job kro" "$job cp") | $gm | $pbm | $(ratio "$job $best" "$job kro") | $mem |"
done
