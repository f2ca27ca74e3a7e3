#!/bin/sh
# kro as the host of the plot renderer: what it selects on the device, the
# pages it refuses to make, and which files it takes for plots.
# Usage: cli_plot_test.sh KRO
set -u
kro=$1
. "$(dirname "$0")/check.sh"
cd "$work" || exit 1
command -v pngtopnm >/dev/null || { echo "0 passed, 0 failed (no netpbm)"; exit 0; }

# Black dots of a 1-bit PNG page.
ink() { pngtopnm "$1" 2>/dev/null | pnmtoplainpnm 2>/dev/null | tail -n +3 | tr -cd 1 | wc -c; }

# An edge rectangle and a wedge drawn over a line outline; they do not paint
# over what is inside them: the line (about 400 dots long here) stays.
printf 'IN;SP1;PU1000,1000;PD3000,3000;PU0,0;ER4000,4000;PU2000,2000;EW1500,0,360;\n' >over.hpgl
printf 'IN;SP1;PU0,0;ER4000,4000;PU2000,2000;EW1500,0,360;\n' >frame.hpgl
for p in over frame; do "$kro" convert $p.hpgl $p.png -dpi 100 -papertype A4V; done
check "ER and EW leave what lies inside them" '[ $(( $(ink over.png) - $(ink frame.png) )) -gt 300 ]'

# At a fixed scale the whole plot lies on its page, all four sides of a
# frame with its diagonal (4000 x 3000 units: 394 x 295 dots at 100 dpi).
printf 'IN;SP1;PU0,0;PD4000,0,4000,3000,0,3000,0,0;PD4000,3000;\n' >box.hpgl
for centre in "" -center; do
    "$kro" convert box.hpgl box.png -scale 1 -dpi 100 $centre
    check "scale 1 $centre: the frame and its diagonal whole" '[ $(ink box.png) -gt $((2 * 394 + 2 * 295 + 350)) ]'
done

# A plot 2 m square at 400 dpi: refused at once, with what to do instead.
printf 'IN;SP1;PU0,0;PD80000,0,80000,80000,0,80000,0,0;\n' >big.hpgl
"$kro" convert big.hpgl big.png 2>err
check "a page too large is refused with advice" '[ $? -eq 1 ] && grep -q "31496 x 31496 dots at 400 dpi.*lower -dpi, or -papertype" err && [ ! -e big.png ]'
"$kro" convert big.hpgl big.png -dpi 100
check "the same plot at 100 dpi is drawn" '[ $? -eq 0 ] && [ -s big.png ]'

# Plots are told by their bytes: in lower case, with label bytes beyond
# text, inside a job wrapper; pictures and prose are not plots.
printf 'in;sp1;pu0,0;pd4000,0,4000,3000,0,3000,0,0;\n' >lower.hpgl
printf 'IN;SP1;PU0,0;PD4000,0,4000,3000;LB\016degree \260C\017\003;\n' >bytes.hpgl
printf '\033%%-12345X@PJL JOB NAME="x"\r\n@PJL ENTER LANGUAGE=HPGL2\r\n\033E\033%%0BIN;SP1;PU0,0;PD4000,0,4000,3000,0,3000,0,0;\033%%0A\033E\033%%-12345X@PJL EOJ\r\n' >wrapped.plt
printf '\033.Y\n\033.I81;;17:\033.N;19:\033.M500:\nIN;\nSP1;PU0,0;PD4000,3000;\n' >control.plt
for p in lower.hpgl bytes.hpgl wrapped.plt control.plt; do
    check "$p is a plot" '"$kro" info $p | grep -q "HP-GL plot"'
done
"$kro" convert wrapped.plt wrapped.png -dpi 50
check "a wrapped plot is drawn" '[ $? -eq 0 ] && [ $(ink wrapped.png) -gt 200 ]'
printf 'Some prose, not a plot.\n' >prose.txt
"$kro" info prose.txt 2>err
check "prose is no plot" '[ $? -eq 1 ] && grep -q "not a format kro reads" err'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
