#!/bin/sh
# What a new user meets first: files kro does not read, a missing output
# folder, option and job-line mistakes, paper names, CALS header names, and
# plots from standard input or among the pages of a document.
# Usage: cli_user_test.sh KRO SAMPLES_DIR
set -u
kro=$1 samples=$(cd "$2" && pwd)
. "$(dirname "$0")/check.sh"
cd "$work" || exit 1
cp "$samples/madras-rgb.bmp" in.bmp
printf 'IN;SP1;PU0,0;PD4000,0,4000,3000,0,3000,0,0;SP0;\n' >plot.hpgl

# --- files kro does not read are named ---------------------------------------
: >empty.bmp
"$kro" convert empty.bmp out.pcx 2>err
check "an empty file is called empty" '[ $? -eq 1 ] && grep -q "empty.bmp: the file is empty; kro reads BMP, PCX, JPEG, CALS Type 1, TIFF, PNG and HP-GL" err'
if command -v gm >/dev/null; then
    for kind in gif:GIF pdf:PDF ps:PostScript; do
        ext=${kind%%:*} name=${kind#*:}
        gm convert in.bmp "in.$ext" 2>/dev/null || continue
        "$kro" convert "in.$ext" out.pcx 2>err
        check "a $name file is named" '[ $? -eq 1 ] && grep -q "in.$ext: an* $name file" err'
    done
fi
printf 'RIFF\044\0\0\0WEBPVP8 ' >in.webp
"$kro" convert in.webp out.pcx 2>err
check "a WebP file is named" 'grep -q "a WebP file" err'

# --- a missing folder is said to be one -------------------------------------
"$kro" convert in.bmp nowhere/out.pcx 2>err
check "convert: a missing output folder" '[ $? -eq 1 ] && grep -q "nowhere/out.pcx: folder .nowhere. does not exist" err'
"$kro" convert plot.hpgl nowhere/out.png 2>err
unix_check "a plot: a missing output folder" '[ $? -eq 1 ] && grep -q "folder .nowhere. does not exist" err'
echo "$work/in.bmp - - - - cal - - - - - - - $work/nowhere - - - - - - - - - - -" >jobs
"$kro" batch jobs >/dev/null 2>err
check "batch: a missing output folder" '[ $? -eq 1 ] && grep -q "folder .*nowhere. does not exist" err'

# --- option mistakes say what is wrong --------------------------------------
"$kro" convert in.bmp out.pcx -rotate 45 2>err
check "-rotate lists its values" '[ $? -eq 2 ] && grep -q "takes 0, 90, 180 or 270 (status 1012120030)" err'
check "help convert lists -rotate's values" '"$kro" help convert | grep -q "rotate 0|90|180|270"'
"$kro" convert in.bmp out.pcx -dithee 1 2>err
check "a value after a switch is named" '[ $? -eq 2 ] && grep -q -- "-dithee takes no value, not .1." err && [ ! -e 1 ]'
"$kro" convert in.bmp out.pcx -dithee yes 2>err
check "a word after a switch is named" '[ $? -eq 2 ] && grep -q -- "-dithee takes no value, not .yes." err'
"$kro" convert in.bmp out.pcx -height 50 -dpi 300 2>err
check "a lone side names its partner" 'grep -q -- "-height is given without -width" err'

# --- job lines name the word -------------------------------------------------
line() { # word 4 (dpi), word 5 (papertype), word 2 and 3 (width, height), word 13 (rotate)
    echo "$work/in.bmp $2 $3 $1 $4 pcx - - - - - - $5 $work - - - - - - - - - - -"
}
{
    line abc - - - -
    echo "$work/in.bmp - - - - pcx - - - - - - - $work - - - - - - - - -"
    line 300 100 100 A4V -
    line 0 - - - -
    line - - - - 45
    line - - - letter -
} >jobs
"$kro" batch jobs >/dev/null 2>err
check "job line: a word that is not a number" 'grep -q "jobs: line 1, word 4 (dpi): .abc. is not a whole number" err'
check "job line: too few words" 'grep -q "jobs: line 2 holds 23 words, not 25 (status 1012140095)" err'
check "job line: options that contradict each other" 'grep -q "jobs: line 3: word 2 (width), word 3 (height) and word 5 (papertype): options contradict each other" err'
check "job line: out of range" 'grep -q "jobs: line 4, word 4 (dpi): .0.: out of range; dpi takes 1 or more" err'
check "job line: a keyword it does not know" 'grep -q "jobs: line 5, word 13 (rotate): .45.: unknown rotation; rotate takes 0, 90, 180 or 270" err'
check "job line: a paper name in another case" '! grep -q "line 6" err && [ -s in.pcx ]'

# --- paper -------------------------------------------------------------------
check "paper names in any case" '"$kro" paper LETTER | grep -q "code 0x00030110" && "$kro" paper Letter >/dev/null'
check "paper says which way it lies" '"$kro" paper A4 | grep -q "lying (landscape)" && "$kro" paper A4V | grep -q "upright (portrait)"'
check "the nearest paper within 5%" '"$kro" paper 215x280mm | grep -q "^LETV"'
"$kro" paper 100x100mm >out 2>err
check "no paper within 5% is said" '[ $? -eq 1 ] && grep -q "no paper is within 5% of 100 x 100 mm; --fit" err'
"$kro" convert in.bmp page.pcx -papertype a4V -dpi 50
check "-papertype in any case" '[ $? -eq 0 ]'

# --- CALS header records by the file's own names ------------------------------
"$kro" convert "$samples/text-bilevel.bmp" page.cal
# Records 6 and 10 spelled the other way, as other writers spell them.
{
    head -c 640 page.cal
    printf '%-128s' 'docls: NONE'
    head -c 1152 page.cal | tail -c +769
    printf '%-128s' 'rdensity: 0400'
    tail -c +1281 page.cal
} >renamed.cal
"$kro" info page.cal >info1 && "$kro" info renamed.cal >info2
check "info: CALS records as the file names them" 'grep -q "^    rdensty: 0400" info1 && grep -q "^    doccls: NONE" info1 && grep -q "^    rdensity: 0400" info2 && grep -q "^    docls: NONE" info2'

# --- plots from standard input, and among the pages of a document -------------
"$kro" convert - --to png - <plot.hpgl >stdin.png
unix_check "a plot on standard input to PNG" '[ $? -eq 0 ] && [ "$(head -c 4 stdin.png | tail -c 3)" = PNG ]'
"$kro" convert - --to pcx - <in.bmp >stdin.pcx
check "a picture on standard input still reads" '[ $? -eq 0 ] && [ -s stdin.pcx ]'
"$kro" convert in.bmp plot.hpgl in.bmp doc.ps
check "a plot among the inputs of a document" '[ $? -eq 0 ] && [ "$(grep -c "^%%Page:" doc.ps)" -eq 3 ]'
if command -v gs >/dev/null; then
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r40 -sOutputFile=p%d.pbm doc.ps 2>/dev/null
    "$kro" convert plot.hpgl alone.ps
    gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pbmraw -r40 -sOutputFile=alone.pbm alone.ps 2>/dev/null
    check "the plot's page is drawn as convert draws it" 'cmp -s p2.pbm alone.pbm'
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
