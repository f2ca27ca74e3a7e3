#!/bin/sh
# BMP to JPEG and JPEG to BMP: kro against libjpeg-turbo's own cjpeg and djpeg
# at the same quality, on a 6000 x 4000 RGB picture. Goal: within 1.1x.
# Usage: sh bench/jpeg.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup jpeg
command -v cjpeg >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libjpeg-turbo-progs >/dev/null

quality=${QUALITY:-75}
input rgb >/dev/null
[ -s "$work/rgb.jpg" ] || cjpeg -quality "$quality" "$work/rgb.bmp" >"$work/rgb.jpg"
bytes=$(( 6000 * 4000 * 3 ))

base=$(kro_footprint)
echo "rgb.bmp -> JPEG at quality $quality; rgb.jpg ($(stat -c %s "$work/rgb.jpg") bytes) -> BMP"
measure "encode kro" "$kro" convert "$work/rgb.bmp" "$work/out-kro.jpg" -quality "$quality"
measure "encode cjpeg" sh -c "cjpeg -quality $quality '$work/rgb.bmp' >'$work/out-cjpeg.jpg'"
measure "decode kro" "$kro" convert "$work/rgb.jpg" "$work/out-kro.bmp"
measure "decode djpeg" sh -c "djpeg -bmp '$work/rgb.jpg' >'$work/out-djpeg.bmp'"
cmp -s "$work/out-kro.jpg" "$work/out-cjpeg.jpg" && same=yes || same=no

echo
echo "kro's own footprint (kro --version): $base KiB; kro's JPEG equals cjpeg's byte for byte: $same"
echo "| direction | kro (s) | peer (s) | kro / peer | kro peak above footprint / picture bytes |"
echo "|---|---|---|---|---|"
for dir in encode:cjpeg decode:djpeg; do
    d=${dir%%:*} peer=${dir#*:}
    mem=$(awk -v k="$(peak_of "$d kro")" -v z="$base" -v b="$bytes" 'BEGIN { printf "%.2f", (k - z) * 1024 / b }')
    echo "| $d ($peer) | $(median_of "$d kro") | $(median_of "$d $peer") | $(ratio "$d kro" "$d $peer") | $mem |"
done
