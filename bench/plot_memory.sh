#!/bin/sh
# Peak memory and time of the full look on heavy plots (bench/gen_plot_load.sh):
# 200,000 polylines of five adaptive-line-type segments (1 M segments) and
# 200,000 labels, each to a 300 dpi PNG, a PDF and an SVG, and the labels as
# text (--style design --labels text) to a PDF. Raster pages hold the page;
# Cairo's PDF and SVG surfaces hold what the page draws until it ends.
# Usage: sh bench/plot_memory.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup plot_memory
RUNS=${RUNS:-1}

for kind in adaptive labels; do
    plot=$work/$kind.hpgl
    [ -s "$plot" ] || sh bench/gen_plot_load.sh "$kind" >"$plot"
    for out in png pdf svg; do
        measure "$kind $out" "$kro" convert "$plot" "$work/out-$kind.$out" -dpi 300
        rm -f "$work/out-$kind.$out"
    done
done
measure "labels text pdf" "$kro" convert --style design --labels text "$work/labels.hpgl" \
    "$work/out-text.pdf" -dpi 300
rm -f "$work/out-text.pdf"

echo "| plot | output | time (s) | peak (MiB) |"
echo "|---|---|---|---|"
for row in "adaptive png" "adaptive pdf" "adaptive svg" "labels png" "labels pdf" "labels svg" \
    "labels text pdf"; do
    echo "| ${row% *} | ${row##* } | $(median_of "$row") | $(awk -v k="$(peak_of "$row")" 'BEGIN { printf "%.0f", k / 1024 }') |"
done
