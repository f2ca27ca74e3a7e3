#!/bin/sh
# kro convert --labels: a plot's labels as text or as boxes, and the flag's
# treatment elsewhere.
# Usage: cli_labels_test.sh KRO
set -u
kro=$1
. "$(dirname "$0")/check.sh"

printf 'IN;SP1;PA0,0;PD4000,0,4000,4000,0,4000,0,0;PU;SI0.5,0.8;PA600,1000;LBHELLO\003DI0,1;PA3000,600;LBUP\003' >"$work/plot.hpgl"
"$kro" convert --style design "$work/plot.hpgl" "$work/default.png" -dpi 100
check "a plot converts" '[ $? -eq 0 ] && [ -s "$work/default.png" ]'
"$kro" convert --labels box "$work/plot.hpgl" "$work/box.png" -dpi 100
check "--labels box is the design look's default" 'cmp -s "$work/default.png" "$work/box.png"'
"$kro" convert --labels text "$work/plot.hpgl" "$work/text.png" -dpi 100
check "--labels text converts" '[ $? -eq 0 ] && [ -s "$work/text.png" ]'
check "--labels text draws something else" '! cmp -s "$work/default.png" "$work/text.png"'
"$kro" convert "$work/plot.hpgl" --labels=text "$work/text2.png" -dpi 100
check "--labels=text is the same flag" 'cmp -s "$work/text.png" "$work/text2.png"'
if command -v pngtopnm >/dev/null; then
    # Same page, more ink: letters hold more black than two thin outlines.
    black() { pngtopnm "$1" 2>/dev/null | pnmtoplainpnm 2>/dev/null | tail -n +3 | tr -cd 1 | wc -c; }
    check "the text page is the page size of the default" '[ "$(pngtopnm "$work/text.png" | head -2 | tail -1)" = "$(pngtopnm "$work/default.png" | head -2 | tail -1)" ]'
    check "letters hold more ink than the boxes" '[ "$(black "$work/text.png")" -gt "$(black "$work/default.png")" ]'
fi
"$kro" convert --labels text "$work/plot.hpgl" "$work/text.pdf"
check "PDF pages embed the label font" '[ $? -eq 0 ] && grep -aq "/FontFile" "$work/text.pdf"'

"$kro" convert --labels bold "$work/plot.hpgl" "$work/no.png" 2>"$work/err"
check "an unknown --labels value is a usage error" '[ $? -eq 2 ] && [ ! -e "$work/no.png" ] && grep -q "text or box" "$work/err"'
"$kro" convert "$work/plot.hpgl" "$work/no.png" --labels 2>/dev/null
check "--labels needs its value" '[ $? -eq 2 ] && [ ! -e "$work/no.png" ]'

# A picture has no labels: refused, as -plot is.
printf 'P1\n3 2\n1 0 1\n0 1 0\n' >"$work/p.pbm"
if command -v ppmtobmp >/dev/null; then
    ppmtobmp -bpp 1 "$work/p.pbm" >"$work/p.bmp" 2>/dev/null
    "$kro" convert --labels text "$work/p.bmp" "$work/flag.pcx" 2>"$work/err"
    check "--labels on a picture is a usage error" '[ $? -eq 2 ] && [ ! -e "$work/flag.pcx" ] && grep -q "plots only" "$work/err"'
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
