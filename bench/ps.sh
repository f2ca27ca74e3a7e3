#!/bin/sh
# BMP to PostScript on two 6000 x 4000 RGB pictures (the plaid and the
# fractal-noise photograph; hex text, two digits a byte) and on the photograph
# in 216 colours (an 8-bit palette BMP): kro against GraphicsMagick (gm
# convert x.bmp x.ps) and against cp of the PostScript kro writes, the larger
# file. kro is `kro convert` when it writes PostScript, otherwise the small
# ps_convert program over the same library calls.
# Usage: sh bench/ps.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup ps -DKRO_BUILD_BENCH=ON

rgb=$(input rgb)
photo=$(input photo)
pal=$(input palette)
if "$kro" convert "$rgb" "$work/probe.ps" -dpi 300 >/dev/null 2>&1; then
    writer="$kro convert"
else
    writer="$PWD/$build/bench/ps_convert"
fi
rm -f "$work/probe.ps"
echo "rgb.bmp ($(stat -c %s "$rgb") bytes), photo.bmp ($(stat -c %s "$photo") bytes)," \
    "palette.bmp ($(stat -c %s "$pal") bytes), kro as: $writer"
base=$(kro_footprint)
for pic in rgb photo palette; do
    # The labels of the plaid stay unprefixed, as earlier runs had them.
    case $pic in rgb) in=$rgb l="" ;; photo) in=$photo l="photo " ;; *) in=$pal l="palette " ;; esac
    $writer "$in" "$work/out-kro-$pic.ps"
    measure "${l}cp" cp --remove-destination "$(larger "$in" "$work/out-kro-$pic.ps")" "$work/out-cp"
    measure "${l}kro" $writer "$in" "$work/out-kro-$pic.ps"
    measure "${l}gm" gm convert "$in" "$work/out-gm-$pic.ps"
done

echo
echo "kro's own footprint (kro --version): $base KiB"
echo "| job | kro (s) | cp of the larger file (s) | kro / cp | gm (s) | gm / kro | kro peak (KiB) | gm peak (KiB) |"
echo "|---|---|---|---|---|---|---|---|"
for pic in rgb photo palette; do
    case $pic in rgb) l="" t="RGB plaid" ;; photo) l="photo " t="RGB photograph" ;; *) l="palette " t="palette" ;; esac
    echo "| 6000 x 4000 $t BMP to PS | $(median_of "${l}kro") | $(median_of "${l}cp") |" \
        "$(ratio "${l}kro" "${l}cp") | $(median_of "${l}gm") | $(ratio "${l}gm" "${l}kro") |" \
        "$(peak_of "${l}kro") | $(peak_of "${l}gm") |"
done
