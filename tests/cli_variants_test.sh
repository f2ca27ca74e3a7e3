#!/bin/sh
# BMP and PCX variants that other programs write (BMP: 4-bit, RLE8, RLE4,
# top-down, 16- and 32-bit with bit fields, OS/2 headers; PCX: planes of 1
# bit, packed 4-bit, colour with alpha) are read by the library's variant readers: each
# must give the source picture's pixels, 16-bit ones within a step of their 5
# bits; half transparent pixels lie on white; cut-short pixel data fails and
# says so. JPEG variants the library refuses are named.
# Usage: cli_variants_test.sh KRO DATA_DIR
set -u
kro=$1 dir=$2/variants
. "$(dirname "$0")/check.sh"
if ! command -v bmptopnm >/dev/null || ! command -v gm >/dev/null; then
    echo "SKIP: netpbm or GraphicsMagick not installed" >&2
    exit 0
fi
pixels() { "$kro" convert "$1" "$work/out.bmp" && bmptopnm "$work/out.bmp" 2>/dev/null; }
peak() { gm compare -metric PAE "$1" "$2" | awk '/Total/ { print $2 }'; }

for f in gm-4bit.bmp im-rle8.bmp rle4.bmp top-down-24bit.bmp im-32bit-alpha.bmp \
    gm-bmp2.bmp netpbm-os2-4bit.bmp \
    netpbm-3plane.pcx netpbm-4plane.pcx netpbm-4bit.pcx; do
    check "$f: the source's pixels" 'pixels "$dir/$f" | cmp -s - "$dir/source.ppm"'
done
check "PCX version 3: the standard 16 colours" \
    '"$kro" convert "$dir/v3-3plane.pcx" "$work/v3.bmp" && bmptopnm "$work/v3.bmp" 2>/dev/null | pnmtoplainpnm | sed -n 4p | grep -q "^170 0 170 "'
pixels "$dir/im-rgba-half.pcx" >"$work/half-pcx.ppm"
pixels "$dir/im-16bit-565.bmp" >"$work/565.ppm"
check "16-bit 5-6-5: within a 5-bit step" 'awk -v e="$(peak "$work/565.ppm" "$dir/source.ppm")" "BEGIN { exit !(e <= 8 / 255) }"'
pixels "$dir/im-32bit-half-alpha.bmp" >"$work/half.ppm"
gm convert "$dir/source.ppm" -fill white -colorize 50% "$work/lighter.ppm"
for f in half half-pcx; do
    check "$f: half transparent on white" 'awk -v e="$(peak "$work/$f.ppm" "$work/lighter.ppm")" "BEGIN { exit !(e <= 1 / 255) }"'
done
check "RLE8: palette picture kept" '"$kro" info "$dir/im-rle8.bmp" | grep -q "photometric: 3 (palette)"'

for v in "rle8-cut-short.bmp:RLE8-compressed BMP" "pcx-4plane-cut-short.pcx:4-plane 1-bit PCX"; do
    "$kro" convert "$dir/${v%%:*}" "$work/cut.bmp" 2>"$work/err"
    check "${v%%:*}: exit 1, said, nothing written" \
        '[ $? -eq 1 ] && grep -q "this ${v#*:} is damaged" "$work/err" && [ ! -e "$work/cut.bmp" ]'
done
"$kro" convert "$2/bad/bmp-negative-height.bmp" "$work/td.bmp"
check "a top-down file the library refuses reads" '[ $? -eq 0 ] && [ -s "$work/td.bmp" ]'

# JPEG variants that stay refused are named.
for v in "jpeg-cmyk:CMYK JPEG:1012140157" "jpeg-arithmetic:arithmetic-coded JPEG:1012140135"; do
    file=${v%%:*} rest=${v#*:}
    "$kro" info "$2/bad/$file.jpg" 2>"$work/err" >/dev/null
    check "$file names its variant" \
        '[ $? -eq 1 ] && grep -qF "$file.jpg: ${rest%%:*} is not supported (status ${rest#*:})" "$work/err"'
done

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
