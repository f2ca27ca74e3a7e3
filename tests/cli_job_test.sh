#!/bin/sh
# The conversion job end to end: the size options through KroGetDSize and
# KroConvSize, palette pictures scaled in RGB, the options each output takes.
# Usage: cli_job_test.sh KRO
set -u
kro=$1
data_bad=$(dirname "$0")/data/bad/bmp-truncated-rows.bmp
. "$(dirname "$0")/check.sh"
field() { "$kro" info "$1" | sed -n "s/^  $2: *//p"; }

if ! command -v ppmtobmp >/dev/null; then
    echo "SKIP: netpbm not installed" >&2
    exit 0
fi
pgmramp -lr 40 30 >"$work/g.pgm"
pgmtoppm rgb:ff/20/10 "$work/g.pgm" >"$work/c.ppm"
ppmtobmp -bpp 24 "$work/c.ppm" >"$work/c.bmp" 2>/dev/null
ppmquant 4 "$work/c.ppm" 2>/dev/null | ppmtobmp -bpp 8 >"$work/p.bmp" 2>/dev/null
# The same picture stating 100 x 200 dpi (pixels per metre at 38 and 42).
cp "$work/c.bmp" "$work/r.bmp"
printf '\141\017\000\000\302\036\000\000' | dd of="$work/r.bmp" bs=1 seek=38 conv=notrunc 2>/dev/null

# Sizes: option words, the expected size, the expected resolution.
while IFS='|' read -r opts in size res; do
    # shellcheck disable=SC2086
    "$kro" convert "$work/$in" "$work/out.bmp" $opts 2>"$work/err"
    check "$in $opts: size" '[ "$(field "$work/out.bmp" size)" = "$size" ]'
    check "$in $opts: resolution" '[ "$(field "$work/out.bmp" resolution)" = "$res" ]'
done <<'TABLE'
-scale 2|c.bmp|80 x 60 pixels|not stated
-scale 0.5|c.bmp|20 x 15 pixels|not stated
-dpi 300|c.bmp|40 x 30 pixels|300 x 300 dpi
-defDpi 100 -dpi 200|c.bmp|80 x 60 pixels|200 x 200 dpi
-width 100 -height 10|c.bmp|13 x 10 pixels|not stated
-width 100 -height 100|c.bmp|100 x 75 pixels|not stated
-dpi 200|r.bmp|80 x 30 pixels|200 x 200 dpi
-dpi 50|r.bmp|20 x 8 pixels|50 x 50 dpi
-papertype A4V -dpi 100|c.bmp|824 x 618 pixels|100 x 100 dpi
-papertype A4V -dpi 100 -rotate 90|c.bmp|1099 x 824 pixels|100 x 100 dpi
TABLE

# Unequal resolutions as another program writes them: every output but
# PostScript states one, so the coarser direction is resampled to the finer
# one and the picture keeps its size on paper. A left-right ramp keeps its
# columns as they were.
if command -v gm >/dev/null && command -v identify >/dev/null; then
    pgmramp -lr 100 50 >"$work/ramp.pgm"
    pamscale -filter point -xsize 100 -ysize 100 "$work/ramp.pgm" >"$work/ramp-tall.pgm"
    for d in 300x150 150x300; do
        gm convert "$work/ramp.pgm" -density $d -units PixelsPerInch "BMP3:$work/u$d.bmp"
    done
    check "gm states 300 x 150 dpi" \
        'identify -verbose "$work/u300x150.bmp" | grep -q "Resolution: 118.11x59.05$"'
    while IFS='|' read -r d ext size; do
        "$kro" convert "$work/u$d.bmp" "$work/u.$ext" --verbose >"$work/notes"
        check "$d dpi to .$ext: size" '[ "$(field "$work/u.$ext" size | sed "s/ (.*//")" = "$size" ]'
        check "$d dpi to .$ext: one resolution" '[ "$(field "$work/u.$ext" resolution)" = "300 x 300 dpi" ]'
        wh=$(echo "$size" | sed 's/ x /x/; s/ pixels//')
        check "$d dpi to .$ext: noted" 'grep -q "scaled from 100x50 to $wh at 300 dpi" "$work/notes"'
    done <<'TABLE'
300x150|pcx|100 x 100 pixels
300x150|cal|100 x 100 pixels
300x150|jpg|100 x 100 pixels
300x150|bmp|100 x 100 pixels
150x300|pcx|200 x 50 pixels
TABLE
    # A PCX file states its resolution the same way, except netpbm's, which
    # holds the picture's own width and height there.
    gm convert "$work/ramp.pgm" -density 300x150 -units PixelsPerInch "PCX:$work/gm.pcx"
    ppmtopcx "$work/ramp.pgm" >"$work/netpbm.pcx" 2>/dev/null
    "$kro" convert "$work/gm.pcx" "$work/gm.bmp" && "$kro" convert "$work/netpbm.pcx" "$work/netpbm.bmp"
    check "PCX at 300 x 150 dpi resampled; netpbm's left alone" \
        '[ "$(field "$work/gm.bmp" size)" = "100 x 100 pixels" ] && [ "$(field "$work/netpbm.bmp" size)" = "100 x 50 pixels" ]'
    "$kro" convert "$work/u300x150.bmp" "$work/u.bmp"
    check "rows repeated, columns untouched" 'bmptopnm "$work/u.bmp" 2>/dev/null | cmp -s - "$work/ramp-tall.pgm"'
    "$kro" convert "$work/u300x150.bmp" "$work/u.ps"
    check "PostScript takes both: the page is 1/3 inch square" 'grep -q "^%%BoundingBox: 0 0 24 24$" "$work/u.ps"'
fi

# A palette picture is scaled in RGB: the same as its RGB copy scaled.
"$kro" convert "$work/p.bmp" "$work/p24.bmp" -colortype RGBColor
for s in 0.5 3; do
    "$kro" convert "$work/p.bmp" "$work/ps.bmp" -scale $s
    "$kro" convert "$work/p24.bmp" "$work/rs.bmp" -scale $s
    check "palette scaled $s in RGB" '[ "$(field "$work/ps.bmp" "colour type")" = "RGB colour" ] && cmp -s "$work/ps.bmp" "$work/rs.bmp"'
done
"$kro" convert "$work/p.bmp" "$work/pp.pcx" -scale 3 -colortype Palette
check "-colortype Palette: reduced again after scaling" \
    '[ "$(field "$work/pp.pcx" "colour type")" = "palette colour" ] && [ "$(field "$work/pp.pcx" size)" = "120 x 90 pixels" ]'
"$kro" convert "$work/c.bmp" "$work/s.cal" -scale 2
check "CALS: scaled, then dithered" '[ "$(field "$work/s.cal" size)" = "80 x 60 pixels" ] && [ "$(field "$work/s.cal" depth)" = "1 bit per pixel" ]'

# Each output takes the options of its conversion kind; the others are usage
# errors that name the option, and leave no file.
while IFS='|' read -r out opts; do
    # shellcheck disable=SC2086
    "$kro" convert "$work/c.bmp" "$work/$out" $opts 2>"$work/err"
    check "$out $opts refused" '[ $? -eq 2 ] && [ ! -e "$work/$out" ] && grep -q "kro: ${opts%% *} does not apply to a .* output (status 1012140155)" "$work/err"'
done <<'TABLE'
x.bmp|-quality 50
x.bmp|-xreso 100
x.jpg|-dithes 2
x.cal|-colortype GrayScale
x.ps|-compression G4
TABLE
"$kro" convert "$work/c.bmp" "$work/q.jpg" -quality 40 -gamma 1.5 2>"$work/err"
check "JPEG takes -quality and -gamma" '[ $? -eq 0 ] && [ ! -s "$work/err" ]'
"$kro" convert "$work/c.bmp" "$work/d.cal" -dithes 2 -scale 2 2>"$work/err"
check "CALS takes -dithes and -scale" '[ $? -eq 0 ] && [ ! -s "$work/err" ]'
"$kro" convert "$work/c.bmp" "$work/big.bmp" -scale 1000 2>"$work/err"
check "a picture scaled past 32768 pixels fails, no file" '[ $? -eq 1 ] && [ ! -e "$work/big.bmp" ] && grep -q "status 1012140137" "$work/err"'

# Help: the overview, and each command's page both ways.
for c in info convert batch paper; do
    "$kro" help $c >"$work/h1" && "$kro" $c --help >"$work/h2"
    check "help $c" '[ $? -eq 0 ] && grep -q "^Usage: kro $c" "$work/h1" && cmp -s "$work/h1" "$work/h2"'
done
"$kro" help frobnicate 2>/dev/null
check "help for an unknown command" '[ $? -eq 2 ]'

# A misspelt job option names the nearest keyword; a word near none, none.
while IFS='|' read -r word hint; do
    "$kro" convert "$work/c.bmp" "$work/x.bmp" "$word" 5 2>"$work/err"
    rc=$?
    if [ -n "$hint" ]; then
        check "$word -> $hint" '[ $rc -eq 2 ] && grep -q "did you mean $hint?" "$work/err"'
    else
        check "$word: no guess" '[ $rc -eq 2 ] && ! grep -q "did you mean" "$work/err"'
    fi
done <<'TABLE'
-widht|-width
-Dpi|-dpi
-papertyp|-papertype
-qualty|-quality
-zzzzz|
TABLE
"$kro" convert "$work/c.bmp" "$work/x.bmp" --verbos 2>"$work/err"
check "a misspelt flag names the nearest" '[ $? -eq 2 ] && grep -q "did you mean --verbose?" "$work/err"'

# - reads standard input and writes standard output (with --to).
"$kro" convert - --to=pcx - <"$work/c.bmp" >"$work/piped.pcx"
"$kro" convert "$work/c.bmp" "$work/file.pcx"
check "stdin to stdout as a file would be" '[ $? -eq 0 ] && cmp -s "$work/piped.pcx" "$work/file.pcx"'
"$kro" convert "$work/c.bmp" "$work/file.bmp"
check "stdin read whole from a pipe" 'cat "$work/c.bmp" | "$kro" convert - "$work/fromstdin.bmp" && cmp -s "$work/fromstdin.bmp" "$work/file.bmp"'
"$kro" convert "$work/c.bmp" - --to ps --verbose >"$work/o.ps" 2>"$work/err"
check "--verbose keeps off a stdout output" 'head -c 4 "$work/o.ps" | grep -q "%!PS" && grep -q "PostScript" "$work/err"'
"$kro" convert - - <"$work/c.bmp" >"$work/none" 2>/dev/null
check "stdout needs --to" '[ $? -eq 2 ] && [ ! -s "$work/none" ]'
"$kro" convert - --to bmp - <"$data_bad" >"$work/none" 2>/dev/null
check "a failed job writes nothing to stdout" '[ $? -eq 1 ] && [ ! -s "$work/none" ]'

# The README lists every status code of the header.
src=$(dirname "$0")/..
for code in $(sed -n 's/^#define KRO_ERR_[A-Z0-9_]* *\([0-9]*\).*/\1/p' "$src/include/kro/kro.h"); do
    grep -q "^| $code | " "$src/README.md" || bad "status $code missing from the README"
done
ok

# PDF and SVG pages are drawn from plots; a picture is pointed there.
"$kro" convert "$work/c.bmp" "$work/c.svg" 2>"$work/err"
check "a picture to .svg: failure naming the input" '[ $? -eq 1 ] && grep -q "c.bmp: not an HP-GL plot" "$work/err" && [ ! -e "$work/c.svg" ]'

# A plot goes to every raster format as a bilevel page (gray for JPEG), and to
# standard output with --to.
printf 'IN;SP1;PA0,0;PD2000,0,2000,1000;PU;\n' >"$work/plot.plt"
for ext in ps pcx jpg cal bmp; do
    "$kro" convert "$work/plot.plt" "$work/plot.$ext" -dpi 100 2>"$work/err"
    check "plot to .$ext" '[ $? -eq 0 ] && [ -s "$work/plot.$ext" ] && [ ! -s "$work/err" ]'
done
check "plot to PCX: a bilevel page" '[ "$(field "$work/plot.pcx" depth)" = "1 bit per pixel" ]'
check "plot to JPEG: gray" '[ "$(field "$work/plot.jpg" depth)" = "8 bits per pixel" ]'
check "plot to PostScript: one page" 'grep -q "^%%Pages: 1$" "$work/plot.ps"'
"$kro" convert "$work/plot.plt" - --to png -dpi 100 >"$work/piped.png"
unix_check "plot to stdout as PNG" '[ "$(head -c 4 "$work/piped.png" | tail -c 3)" = "PNG" ]'
"$kro" convert "$work/plot.plt" - --to pdf >"$work/piped.pdf"
unix_check "plot to stdout as PDF" '[ "$(head -c 5 "$work/piped.pdf")" = "%PDF-" ]'
"$kro" convert "$work/plot.plt" - 2>/dev/null
check "plot to stdout needs --to" '[ $? -eq 2 ]'
(umask 022 && "$kro" convert "$work/plot.plt" "$work/mode.pdf")
unix_check "a PDF page gets the mode of a plain create" '[ "$(stat -c %a "$work/mode.pdf")" = 644 ]'

# 8- and 24-bit BMP and 24-bit PCX pictures that no option changes go
# across a band of rows at a time; the bytes are those of the whole picture
# read from standard input. The 40 x 30 pictures are 128 times taller here,
# to make several bands.
pnmtile 40 3840 "$work/c.ppm" | ppmtobmp -bpp 24 >"$work/tall.bmp" 2>/dev/null
pnmtile 40 3840 "$work/g.pgm" | ppmtobmp -bpp 8 >"$work/tall-gray.bmp" 2>/dev/null
bmptopnm "$work/p.bmp" 2>/dev/null | pnmtile 40 3840 | ppmtobmp -bpp 8 >"$work/tall-palette.bmp" 2>/dev/null
"$kro" convert "$work/tall.bmp" "$work/tall.pcx"
mkdir "$work/whole"
for to in bmp pcx ps; do
    for in in tall.bmp tall.pcx tall-gray.bmp tall-palette.bmp; do
        "$kro" convert "$work/$in" "$work/band.$to"
        "$kro" convert - "$work/whole/band.$to" <"$work/$in"
        check "$in to $to in bands: the bytes of the whole picture" \
            'cmp -s "$work/band.$to" "$work/whole/band.$to" ||
             [ "$(grep -av CreationDate "$work/band.$to" | cksum)" = "$(grep -av CreationDate "$work/whole/band.$to" | cksum)" ]'
    done
done
for to in bmp pcx ps; do
    "$kro" convert "$work/tall.bmp" "$work/gray.$to" -colortype GrayScale
    "$kro" convert - "$work/whole/gray.$to" -colortype GrayScale <"$work/tall.bmp"
    check "tall.bmp to gray $to in bands: the bytes of the whole picture" \
        'cmp -s "$work/gray.$to" "$work/whole/gray.$to" ||
         [ "$(grep -av CreationDate "$work/gray.$to" | cksum)" = "$(grep -av CreationDate "$work/whole/gray.$to" | cksum)" ]'
done
check "gray in bands: 8-bit" '[ "$(field "$work/gray.bmp" depth)" = "8 bits per pixel" ]'
# A PCX file damaged part way is told of as when it is read whole, and
# leaves no output.
head -c 300000 "$work/tall.pcx" >"$work/cut.pcx"
"$kro" convert - "$work/cut-whole.bmp" <"$work/cut.pcx" 2>"$work/err-whole"
rc_whole=$?
"$kro" convert "$work/cut.pcx" "$work/cut.bmp" 2>"$work/err"
rc=$?
check "damaged PCX in bands: the whole picture's message and status" \
    '[ $rc -eq $rc_whole ] && [ $rc -ne 0 ] && [ "$(sed "s|$work/cut.pcx|-|" "$work/err")" = "$(cat "$work/err-whole")" ]'
check "damaged PCX in bands: no output left" '[ ! -e "$work/cut.bmp" ] && [ "$(ls -A "$work" | grep -c kro-)" = 0 ]'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
