#!/bin/sh
# Drawing an HP-GL plot of 200,000 polylines to a 300 dpi PNG page: kro
# convert against hp2xx on the same file, side by side.
# Usage: sh bench/plot_render.sh [BUILD_DIR]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
build=${1:-build-bench}
bench_setup plot_render

plot=$work/polylines.hpgl
[ -s "$plot" ] || sh bench/gen_polylines.sh 200000 >"$plot"
bytes=$(stat -c %s "$plot")
echo "polylines.hpgl ($bytes bytes)"
measure "render kro png" "$kro" convert "$plot" "$work/polylines.png" -dpi 300
measure "render kro bmp" "$kro" convert "$plot" "$work/polylines.bmp" -dpi 300
measure "render hp2xx png" hp2xx -q -m png -d 300 -f "$work/polylines-hp2xx.png" "$plot"

echo
echo "| plot | kro PNG (s) | kro BMP, no compression (s) | hp2xx PNG (s) | hp2xx / kro |"
echo "|---|---|---|---|---|"
echo "| 200,000 polylines, 300 dpi | $(median_of "render kro png") | $(median_of "render kro bmp") | $(median_of "render hp2xx png") | $(ratio "render hp2xx png" "render kro png") |"
