#!/bin/sh
# PNG reading and writing on a 6000 x 4000 RGB photograph-like picture and a
# 4960 x 7016 bilevel page: kro against netpbm's pngtopnm and pnmtopng on the
# same picture, both reading or writing the plain picture on the other side
# (BMP for kro, PNM for netpbm). Goal: within 1.3x.
# Usage: sh bench/png.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup png

photo=$(input photo)
page=$(input text-page)
for p in photo page; do
    eval src=\$$p
    bmptopnm "$src" >"$work/$p.pnm" 2>/dev/null
    pnmtopng "$work/$p.pnm" >"$work/$p.png" 2>/dev/null
    measure "write-$p kro" "$kro" convert "$src" "$work/o-kro-$p.png"
    measure "write-$p pnmtopng" sh -c "pnmtopng '$work/$p.pnm' >'$work/o-netpbm-$p.png' 2>/dev/null"
    measure "read-$p kro" "$kro" convert "$work/$p.png" "$work/o-kro-$p.bmp"
    measure "read-$p pngtopnm" sh -c "pngtopnm '$work/$p.png' >'$work/o-netpbm-$p.pnm' 2>/dev/null"
done

echo
echo "| job | kro (s) | netpbm (s) | kro / netpbm | kro bytes | netpbm bytes |"
echo "|---|---|---|---|---|---|"
for p in photo page; do
    echo "| write $p | $(median_of "write-$p kro") | $(median_of "write-$p pnmtopng") | $(ratio "write-$p kro" "write-$p pnmtopng") | $(stat -c %s "$work/o-kro-$p.png") | $(stat -c %s "$work/o-netpbm-$p.png") |"
    echo "| read $p | $(median_of "read-$p kro") | $(median_of "read-$p pngtopnm") | $(ratio "read-$p kro" "read-$p pngtopnm") | | |"
done
