#!/bin/sh
# Loading and measuring an HP-GL plot of 200,000 polylines (about 7 MB):
# kro info (start-up, read, clean, measure, paper) against wc -l on the same
# file, the floor of one pass over its bytes; and hp2xx drawing the plot into
# a 300 dpi PNG at its true size (-t: the page kro draws), the peer of the
# drawing job.
# Usage: sh bench/hpgl.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup hpgl

plot=$(input polylines)
bytes=$(stat -c %s "$plot")
echo "polylines.hpgl ($bytes bytes)"
measure "hpgl wc" wc -l "$plot"
measure "hpgl kro" "$kro" info "$plot"
measure "kro start" "$kro" --version
measure "kro png" "$kro" convert "$plot" "$work/out-kro.png" -dpi 300
measure "hpgl hp2xx png" hp2xx -q -t -m png -d 300 -f "$work/out-hp2xx.png" "$plot"

echo
echo "| plot | bytes | kro info (s) | MB/s | wc -l (s) | kro / wc | kro start-up (s) | kro to 300 dpi PNG (s) | hp2xx to 300 dpi PNG (s) |"
echo "|---|---|---|---|---|---|---|---|---|"
mbs=$(awk -v b="$bytes" -v t="$(median_of "hpgl kro")" 'BEGIN { printf "%.0f", b / t / 1e6 }')
echo "| 200,000 polylines | $bytes | $(median_of "hpgl kro") | $mbs | $(median_of "hpgl wc") | $(ratio "hpgl kro" "hpgl wc") | $(median_of "kro start") | $(median_of "kro png") | $(median_of "hpgl hp2xx png") |"
