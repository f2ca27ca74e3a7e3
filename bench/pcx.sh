#!/bin/sh
# BMP to PCX and PCX to BMP: kro against cp (the hardware limit),
# GraphicsMagick and netpbm, on three 6000 x 4000 RGB pictures: a plaid that
# run-length coding shrinks 28 times, the photograph (fractal noise with
# grain: runs are rare and short) and noise, where most bytes stand alone and
# a quarter need a count byte (harder than any photograph).
# Usage: sh bench/pcx.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
if [ -n "${KRO:-}" ]; then
    # A kro already built: no setup, results beside it.
    kro=$KRO work=${BENCH_DIR:-bench/out} RESULTS=${BENCH_DIR:-bench/out}/pcx.tsv
    mkdir -p "$work" && : >"$RESULTS"
else
    bench_setup pcx
fi

input rgb >/dev/null
input photo >/dev/null
input noise >/dev/null

base=$(kro_footprint)
for pic in rgb photo noise; do
    bmp=$work/$pic.bmp pcx=$work/$pic.pcx
    "$kro" convert "$bmp" "$pcx"
    echo "$pic.bmp ($(stat -c %s "$bmp") bytes), $pic.pcx ($(stat -c %s "$pcx") bytes)"
    # cp of the larger file is the limit for both jobs: a plaid's PCX is a
    # 25th of the picture, and copying it says nothing of writing 72 MB;
    # noise codes to more bytes than its BMP.
    measure "$pic cp" cp --remove-destination "$(larger "$bmp" "$pcx")" "$work/out-cp"
    measure "$pic encode kro" "$kro" convert "$bmp" "$work/out-kro.pcx"
    measure "$pic encode gm" gm convert "$bmp" "PCX:$work/out-gm.pcx"
    measure "$pic encode netpbm" sh -c "bmptopnm '$bmp' 2>/dev/null | ppmtopcx -24bit >'$work/out-pbm.pcx' 2>/dev/null"
    measure "$pic decode kro" "$kro" convert "$pcx" "$work/out-kro.bmp"
    measure "$pic decode gm" gm convert "PCX:$pcx" "BMP3:$work/out-gm.bmp"
    measure "$pic decode netpbm" sh -c "pcxtoppm '$pcx' 2>/dev/null | ppmtobmp -bpp 24 >'$work/out-pbm.bmp' 2>/dev/null"
done

echo
echo "kro's own footprint (kro --version): $base KiB"
echo "| job | kro (s) | cp of the larger file (s) | kro / cp | gm (s) | netpbm (s) | fastest peer / kro | kro peak above footprint / picture bytes |"
echo "|---|---|---|---|---|---|---|---|"
for pic in rgb photo noise; do
    bytes=$(stat -c %s "$work/$pic.bmp")
    for job in encode decode; do
        j="$pic $job"
        gm=$(median_of "$j gm") pbm=$(median_of "$j netpbm")
        best=$(awk -v a="$gm" -v b="$pbm" 'BEGIN { print (a < b) ? "gm" : "netpbm" }')
        mem=$(awk -v k="$(peak_of "$j kro")" -v z="$base" -v b="$bytes" 'BEGIN { printf "%.2f", (k - z) * 1024 / b }')
        echo "| $j | $(median_of "$j kro") | $(median_of "$pic cp") | $(ratio "$j kro" "$pic cp") | $gm | $pbm | $(ratio "$j $best" "$j kro") | $mem |"
    done
done
