#!/bin/sh
# KroConvSize on a 6000 x 4000 RGB picture to half and to double size, against
# GraphicsMagick's -resize on the same picture: first whole processes, BMP in
# and BMP out (kro convert -scale, gm convert -resize). Then the resize alone:
# kro is timed inside one process
# around the call; gm reads its own memory-mapped format (MPC) and writes
# nothing (null:), so both figures are close to the resize alone. gm is timed
# with its default filter and with the triangle (bilinear) filter.
# Usage: sh bench/scale.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup scale -DKRO_BUILD_BENCH=ON
rgb=$(input rgb)
gm convert "$rgb" "$work/rgb.mpc"

for pct in 50 200; do
    scale=$(awk -v p="$pct" 'BEGIN { print p / 100 }')
    measure "kro convert $pct" "$kro" convert "$rgb" "$work/out-kro-$pct.bmp" -scale "$scale"
    measure "gm convert $pct" gm convert "$rgb" -resize "$pct%" "BMP3:$work/out-gm-$pct.bmp"
    rm -f "$work/out-kro-$pct.bmp" "$work/out-gm-$pct.bmp"
done

"$build/bench/scale_bench" "$rgb" "$RUNS" 50 200 | while read -r pct secs; do
    printf '%s\t%s\t-\n' "kro $pct" "$secs" >>"$RESULTS"
    printf '  %-40s %8ss\n' "kro $pct%" "$secs"
done
# The first call in a fresh process also faults in the destination's pages.
for pct in 50 200; do
    firsts=""
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        firsts="$firsts $("$build/bench/scale_bench" "$rgb" 1 "$pct" | cut -f2)"
        i=$((i + 1))
    done
    first=$(printf '%s\n' $firsts | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }')
    printf '%s\t%s\t-\n' "kro-first $pct" "$first" >>"$RESULTS"
    printf '  %-40s %8ss\n' "kro $pct% first call" "$first"
done
for pct in 50 200; do
    measure "gm $pct" gm convert "$work/rgb.mpc" -resize "$pct%" null:
    measure "gm-triangle $pct" gm convert "$work/rgb.mpc" -filter Triangle -resize "$pct%" null:
done
measure "gm read only" gm convert "$work/rgb.mpc" null:

echo
echo "| job, whole process (BMP to BMP) | kro convert -scale (s) | gm convert -resize (s) | gm / kro |"
echo "|---|---|---|---|"
for pct in 50 200; do
    echo "| 6000 x 4000 RGB to $pct% | $(median_of "kro convert $pct") | $(median_of "gm convert $pct") | $(ratio "gm convert $pct" "kro convert $pct") |"
done
echo
echo "| job | kro (s) | kro first call (s) | gm default (s) | gm / kro | gm / kro first | gm triangle (s) | gm triangle / kro first |"
echo "|---|---|---|---|---|---|---|---|"
for pct in 50 200; do
    echo "| 6000 x 4000 RGB to $pct% | $(median_of "kro $pct") | $(median_of "kro-first $pct") | $(median_of "gm $pct") | $(ratio "gm $pct" "kro $pct") | $(ratio "gm $pct" "kro-first $pct") | $(median_of "gm-triangle $pct") | $(ratio "gm-triangle $pct" "kro-first $pct") |"
done
echo "(gm reading the MPC and writing nothing takes $(median_of "gm read only") s of each gm figure)"
