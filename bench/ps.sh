#!/bin/sh
# BMP to PostScript on a 6000 x 4000 RGB picture and on the photograph in 216
# colours (an 8-bit palette BMP): kro against GraphicsMagick
# (gm convert x.bmp x.ps). kro is `kro convert` when it writes PostScript,
# otherwise the small ps_convert program over the same library calls.
# Usage: sh bench/ps.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup ps -DKRO_BUILD_BENCH=ON

rgb=$(input rgb)
pal=$(input palette)
if "$kro" convert "$rgb" "$work/probe.ps" -dpi 300 >/dev/null 2>&1; then
    writer="$kro convert"
else
    writer="$PWD/$build/bench/ps_convert"
fi
rm -f "$work/probe.ps"
echo "rgb.bmp ($(stat -c %s "$rgb") bytes), palette.bmp ($(stat -c %s "$pal") bytes), kro as: $writer"
measure "kro" $writer "$rgb" "$work/out-kro.ps"
measure "gm" gm convert "$rgb" "$work/out-gm.ps"
measure "palette kro" $writer "$pal" "$work/out-kro-pal.ps"
measure "palette gm" gm convert "$pal" "$work/out-gm-pal.ps"

echo
echo "| job | kro (s) | gm (s) | gm / kro | kro peak (KiB) | gm peak (KiB) |"
echo "|---|---|---|---|---|---|"
echo "| 6000 x 4000 RGB BMP to PS | $(median_of kro) | $(median_of gm) | $(ratio gm kro) |" \
    "$(peak_of kro) | $(peak_of gm) |"
echo "| 6000 x 4000 palette BMP to PS | $(median_of "palette kro") | $(median_of "palette gm") |" \
    "$(ratio "palette gm" "palette kro") | $(peak_of "palette kro") | $(peak_of "palette gm") |"
