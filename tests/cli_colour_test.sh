#!/bin/sh
# kro's colour options end to end: -colortype, -gamma, -level, -dithes and
# -dithee on the command line, the colour type in words, and pictures that a
# format cannot hold converted to what it can.
# Usage: cli_colour_test.sh KRO
set -u
kro=$1
. "$(dirname "$0")/check.sh"
if ! command -v ppmtobmp >/dev/null || ! command -v bmptopnm >/dev/null; then
    echo "SKIP: netpbm not installed" >&2
    exit 0
fi

# A colour picture: a red-to-blue ramp over a green ramp.
pgmramp -lr 97 40 >"$work/lr.pgm"
pgmramp -tb 97 40 >"$work/tb.pgm"
rgb3toppm "$work/lr.pgm" "$work/tb.pgm" "$work/tb.pgm" >"$work/c.ppm"
ppmtobmp -bpp 24 "$work/c.ppm" >"$work/c.bmp" 2>/dev/null
info() { "$kro" info "$1" | sed -n 's/^  colour type: //p'; }
colours() { bmptopnm "$1" 2>/dev/null | ppmhist -noheader 2>/dev/null | wc -l; }

check "info names RGB colour" '[ "$(info "$work/c.bmp")" = "RGB colour" ]'

"$kro" convert "$work/c.bmp" "$work/g.bmp" -colortype GrayScale
check "-colortype GrayScale gives gray" '[ "$(info "$work/g.bmp")" = "gray" ]'
"$kro" convert "$work/c.bmp" "$work/p.bmp" -colortype Palette -level 2
check "-colortype Palette -level 2: palette of at most 8 colours" \
    '[ "$(info "$work/p.bmp")" = "palette colour" ] && [ "$(colours "$work/p.bmp")" -le 8 ]'
"$kro" convert "$work/g.bmp" "$work/g4.bmp" -level 4
check "-level 4 on gray: 4 levels" '[ "$(colours "$work/g4.bmp")" -eq 4 ]'
# Made gray, a colour picture keeps level grays (not level cubed), evenly spaced.
grays() { bmptopnm "$1" 2>/dev/null | ppmtoppm | ppmhist -noheader | awk '{print $1}' | sort -n | tr '\n' ' '; }
"$kro" convert "$work/c.bmp" "$work/c2.bmp" -colortype GrayScale -level 2
check "-colortype GrayScale -level 2 on RGB: black and white" '[ "$(grays "$work/c2.bmp")" = "0 255 " ]'
"$kro" convert "$work/c.bmp" "$work/c4.bmp" -colortype GrayScale -level 4
check "-colortype GrayScale -level 4 on RGB: 0 85 170 255" \
    '[ "$(grays "$work/c4.bmp")" = "0 85 170 255 " ]'
"$kro" convert "$work/c.bmp" "$work/b.bmp" -dithee
check "-dithee gives bilevel" '[ "$(info "$work/b.bmp")" = "bilevel" ]'
"$kro" convert "$work/g.bmp" "$work/gamma.bmp" -gamma 2.2 2>"$work/err"
check "-gamma is applied without a warning" '[ $? -eq 0 ] && [ ! -s "$work/err" ] && ! cmp -s "$work/g.bmp" "$work/gamma.bmp"'
"$kro" convert "$work/g.bmp" "$work/one.bmp" -gamma 1.0
bmptopnm "$work/g.bmp" >"$work/g.pnm" 2>/dev/null
bmptopnm "$work/one.bmp" >"$work/one.pnm" 2>/dev/null
check "-gamma 1.0 changes nothing" 'cmp -s "$work/g.pnm" "$work/one.pnm"'

# CALS holds bilevel only: colour is dithered (Floyd-Steinberg unless -dithes).
"$kro" convert "$work/c.bmp" "$work/c.cal" --verbose >"$work/out"
check "RGB to CALS is dithered and says so" \
    '[ "$(info "$work/c.cal")" = "bilevel" ] && grep -q "dithered to bilevel (Floyd-Steinberg)" "$work/out"'
"$kro" convert "$work/c.bmp" "$work/c3.cal" -dithes 3 --verbose >"$work/out"
check "-dithes 3 to CALS is Bayer 8x8" 'grep -q "Bayer 8x8" "$work/out" && ! cmp -s "$work/c.cal" "$work/c3.cal"'
"$kro" convert "$work/c.bmp" "$work/x.bmp" -dithes 9 2>/dev/null
check "bad -dithes is a usage error, no file" '[ $? -eq 2 ] && [ ! -e "$work/x.bmp" ]'
"$kro" convert "$work/c.bmp" "$work/x.bmp" -colortype Sepia 2>/dev/null
check "bad -colortype is a usage error" '[ $? -eq 2 ] && [ ! -e "$work/x.bmp" ]'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
