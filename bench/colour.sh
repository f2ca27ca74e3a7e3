#!/bin/sh
# Colour conversions of a 6000 x 4000 RGB photograph-like picture (a plasma
# fractal, smoothed and with grain) against GraphicsMagick doing the same job:
#   gray      kro -colortype GrayScale   gm -colorspace gray
#   bilevel   kro -colortype Bilevel     gm -monochrome
#   palette   kro -colortype Palette     gm -colors 216
#   gamma     kro -gamma 2.2             gm -gamma 2.2
# Two views: the whole job from BMP file to BMP file (kro convert, gm
# convert), and the conversion alone (KroConvImage timed inside one process;
# gm reading its memory-mapped MPC format and writing nothing).
# Usage: sh bench/colour.sh [BUILD_DIR] [--install]   (RUNS=3 by default: gm takes seconds a job)
set -eu
cd "$(dirname "$0")/.."
RUNS=${RUNS:-3}
. bench/lib.sh
bench_args "$@"
bench_setup colour -DKRO_BUILD_BENCH=ON
photo=$(input photo)
gm convert "$photo" "$work/photo.mpc"

jobs="gray:-colortype GrayScale:-colorspace gray
bilevel:-colortype Bilevel:-monochrome
palette:-colortype Palette:-colors 216
gamma:-gamma 2.2:-gamma 2.2"

echo "$jobs" | while IFS=: read -r name kopts gopts; do
    # shellcheck disable=SC2086
    measure "kro $name" "$kro" convert "$photo" "$work/out-kro.bmp" $kopts
    # shellcheck disable=SC2086
    measure "gm $name" gm convert "$photo" $gopts "BMP3:$work/out-gm.bmp"
    # shellcheck disable=SC2086
    measure "gm-only $name" gm convert "$work/photo.mpc" $gopts null:
    secs=$("$build/bench/colour_bench" "$photo" "$RUNS" "$kopts" | cut -f2)
    printf '%s\t%s\t-\n' "kro-only $name" "$secs" >>"$RESULTS"
    printf '  %-40s %8ss\n' "kro-only $name (KroConvImage)" "$secs"
done
measure "gm read only" gm convert "$work/photo.mpc" null:

echo
echo "| job | kro file to file (s) | gm file to file (s) | gm / kro | KroConvImage (s) | gm MPC to null (s) | gm / KroConvImage |"
echo "|---|---|---|---|---|---|---|"
echo "$jobs" | while IFS=: read -r name kopts gopts; do
    echo "| $name (\`$kopts\` / \`$gopts\`) | $(median_of "kro $name") | $(median_of "gm $name") | $(ratio "gm $name" "kro $name") | $(median_of "kro-only $name") | $(median_of "gm-only $name") | $(ratio "gm-only $name" "kro-only $name") |"
done
echo "(gm reading the MPC and writing nothing takes $(median_of "gm read only") s of each gm MPC figure)"
