#!/bin/sh
# Plots written by other programs, drawn by kro where each program draws the
# same content itself: gnuplot (pcl5 and hpgl terminals against pngcairo),
# plotutils' graph (HP-GL 1, 1.5 and 2 against its PNG) and pstoedit's HP-GL
# (against Ghostscript's page of the PostScript). The ink of both pages is
# cropped, laid on a 24 x 24 grid and compared cell by cell. Each program is
# tried when it is installed.
kro=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
pass=0 fail=0
check() { if eval "$2"; then pass=$((pass + 1)); else echo "FAIL: $1"; fail=$((fail + 1)); fi; }
command -v pamscale >/dev/null 2>&1 || { echo "netpbm missing: skipped"; exit 0; }

# The ink's box "W H", then the grid's cells with ink as 0 and 1.
inkmap() {
    pngtopnm "$1" | ppmtopgm | pgmtopbm -threshold -value 0.9 | pnmcrop -white >"$1.pbm"
    pnmfile "$1.pbm" | awk '{ print $4, $6 }'
    pamscale -width 24 -height 24 "$1.pbm" | pnmtoplainpnm | tail -n +4 | tr -s ' \n' '\n\n' |
        grep . | awk '{ printf "%d", $1 < 255 }'
    echo
}
# "ASPECT SHARE": the quotient of the ink boxes' aspect ratios, and the share
# of the cells with ink in either page that have ink in both.
compare() {
    { inkmap "$1"; inkmap "$2"; } 2>/dev/null | awk 'NR == 1 { a = $1 / $2 } NR == 2 { m = $0 }
        NR == 3 { b = $1 / $2 } NR == 4 {
            for (i = 1; i <= length(m); i++) {
                x = substr(m, i, 1) + 0; y = substr($0, i, 1) + 0; both += x && y; any += x || y
            }
            printf "%.3f %.3f\n", a / b, any ? both / any : 0 }'
}
# Where the program puts its ink: the same box within 10 % and 85 % of the cells.
same_ink() {
    compare "$1" "$2" | awk '{ ok = $1 > 0.9 && $1 < 1.1 && $2 >= 0.85 } END { exit !ok }'
}

if command -v gnuplot >/dev/null 2>&1; then
    content='unset key; unset tics; set samples 60;
        plot [-10:10] sin(x) * exp(-(x + 10) / 12) with lines, x * x / 100 - 0.5 with linespoints'
    gnuplot -e "set terminal pngcairo size 1000,700; set output 'gnuplot.png'; $content"
    gnuplot -e "set terminal pcl5 size 10in,7in; set output 'gnuplot.pcl'; $content"
    gnuplot -e "set terminal hpgl; set output 'gnuplot.hpgl'; $content"
    "$kro" convert gnuplot.pcl pcl5.png -dpi 100
    check "gnuplot's pcl5 plot lands where gnuplot draws it" 'same_ink gnuplot.png pcl5.png'
    "$kro" convert gnuplot.hpgl hpgl.png -dpi 100
    check "gnuplot's hpgl plot lands where gnuplot draws it" 'same_ink gnuplot.png hpgl.png'
    # The comparison sees a fault: the page upside down does not pass.
    pngtopnm hpgl.png | pamflip -tb | pnmtopng >flipped.png
    check "a page upside down is told apart" '! same_ink gnuplot.png flipped.png'
fi

if command -v graph >/dev/null 2>&1; then
    printf '0 0\n1 1\n2 0.5\n3 2\n4 1.5\n5 3\n' >data.txt
    graph -T png -g 0 --bitmap-size 1000x1000 data.txt >graph.png
    for version in 1 1.5 2; do
        HPGL_VERSION=$version graph -T hpgl -g 0 data.txt >"graph-$version.hpgl"
        "$kro" convert "graph-$version.hpgl" "graph-$version.png" -dpi 100
        check "graph's HP-GL $version lands where graph draws it" "same_ink graph.png graph-$version.png"
    done
    # With its axes, frame and labels (PM glyphs in HP-GL/2) as well.
    graph -T png --bitmap-size 1000x1000 data.txt >axes.png
    HPGL_VERSION=2 graph -T hpgl data.txt >axes.hpgl
    "$kro" convert axes.hpgl axes-kro.png -dpi 100
    check "graph's axes and labels land where graph draws them" 'same_ink axes.png axes-kro.png'
fi

if command -v pstoedit >/dev/null 2>&1 && command -v gs >/dev/null 2>&1; then
    cat >shapes.ps <<'PS'
%!PS
2 setlinewidth
100 100 moveto 400 150 lineto 300 500 lineto stroke
250 300 80 0 360 arc closepath stroke
newpath 420 420 moveto 520 420 lineto 470 520 lineto closepath fill
0 0 1 setrgbcolor 50 500 moveto 200 650 lineto stroke
showpage
PS
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile=shapes.png shapes.ps
    pstoedit -q -f hpgl shapes.ps shapes.hpgl 2>/dev/null
    "$kro" convert shapes.hpgl shapes-kro.png -dpi 100
    check "pstoedit's HP-GL lands where Ghostscript draws the PostScript" 'same_ink shapes.png shapes-kro.png'
    # Its pages end with PG: each is a page of kro's, drawn as Ghostscript draws it.
    printf '%%!PS\n100 100 moveto 300 300 lineto stroke showpage\n' >two.ps
    printf '200 100 moveto 200 500 lineto 400 500 lineto 300 200 lineto stroke showpage\n' >>two.ps
    gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r100 -sOutputFile=two-%d.png two.ps
    pstoedit -q -f hpgl two.ps two.hpgl 2>/dev/null
    "$kro" convert two.hpgl two-kro.png -dpi 100 2>/dev/null
    check "pstoedit's second page is kro's second page" 'same_ink two-2.png two-kro-2.png && ! same_ink two-2.png two-kro.png'
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
