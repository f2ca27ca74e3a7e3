#!/bin/sh
# BMP to PostScript on a 6000 x 4000 RGB picture: kro against GraphicsMagick
# (gm convert x.bmp x.ps). kro is `kro convert` when it writes PostScript,
# otherwise the small ps_convert program over the same library calls.
# Usage: sh bench/ps.sh [BUILD_DIR]   (peers are installed if missing)
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
build=${1:-build-bench}
bench_setup ps -DKRO_BUILD_BENCH=ON

rgb=$work/rgb.bmp
[ -s "$rgb" ] || ppmpat -madras 6000 4000 | ppmtobmp -bpp 24 >"$rgb" 2>/dev/null
if "$kro" convert "$rgb" "$work/probe.ps" -dpi 300 >/dev/null 2>&1; then
    writer="$kro convert"
else
    writer="$PWD/$build/bench/ps_convert"
fi
rm -f "$work/probe.ps"
echo "rgb.bmp ($(stat -c %s "$rgb") bytes), kro as: $writer"
measure "kro" $writer "$rgb" "$work/out-kro.ps"
measure "gm" gm convert "$rgb" "$work/out-gm.ps"

echo
echo "| job | kro (s) | gm (s) | gm / kro | kro peak (KiB) | gm peak (KiB) |"
echo "|---|---|---|---|---|---|"
echo "| 6000 x 4000 RGB BMP to PS | $(median_of kro) | $(median_of gm) | $(ratio gm kro) |" \
    "$(peak_of kro) | $(peak_of gm) |"
