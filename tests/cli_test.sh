#!/bin/sh
# The kro command end to end: netpbm interop, messages, exit codes and the
# promise that a failed job leaves no output and never touches its input.
# Usage: cli_test.sh KRO DATA_DIR
set -u
kro=$1 data=$2
. "$(dirname "$0")/check.sh"
skip=0

# --- netpbm both ways, 1, 8 and 24 bits, odd widths --------------------------
if command -v ppmtobmp >/dev/null && command -v bmptopnm >/dev/null; then
    for w in 1 13 33; do
        h=$((w + 4))
        # An asymmetric picture: a gradient with a bright corner.
        pgmramp -lr "$w" "$h" >"$work/g.pgm" 2>/dev/null
        pgmtoppm rgb:ff/20/10 "$work/g.pgm" >"$work/c.ppm" 2>/dev/null
        pamditherbw -threshold "$work/g.pgm" 2>/dev/null | pamtopnm >"$work/b.pbm" 2>/dev/null
        ppmtobmp -bpp 24 "$work/c.ppm" >"$work/c.bmp" 2>/dev/null
        ppmtobmp -bpp 8 "$work/g.pgm" >"$work/g.bmp" 2>/dev/null
        ppmtobmp -bpp 1 "$work/b.pbm" >"$work/b.bmp" 2>/dev/null
        for kind in c:ppm g:pgm b:pbm; do
            base=${kind%%:*} ext=${kind#*:}
            if ! "$kro" convert "$work/$base.bmp" "$work/$base.out.bmp"; then
                bad "convert $base w=$w"
                continue
            fi
            # bmptopnm may answer in another netpbm type; compare both as PPM.
            bmptopnm "$work/$base.out.bmp" 2>/dev/null | ppmtoppm >"$work/$base.back.ppm" 2>/dev/null
            ppmtoppm <"$work/$base.$ext" >"$work/$base.ref.ppm" 2>/dev/null
            if cmp -s "$work/$base.back.ppm" "$work/$base.ref.ppm"; then
                ok
            else
                bad "netpbm round trip $base w=$w"
            fi
        done
    done
    # ImageMagick's 108- and 124-byte info headers: the colour table follows them.
    for v in im-v4-1bit:f.pbm im-v5-1bit:f.pbm im-v5-8bit:f.ppm; do
        "$kro" convert "$data/bmp/${v%%:*}.bmp" "$work/im.bmp" &&
            bmptopnm "$work/im.bmp" 2>/dev/null >"$work/im.pnm"
        check "${v%%:*} converts exactly" 'cmp -s "$work/im.pnm" "$data/bmp/${v#*:}"'
    done
else
    skip=$((skip + 1))
    echo "SKIP: netpbm not installed" >&2
fi

# --- the command's own behaviour ----------------------------------------------
ppm="$work/c.bmp"
[ -f "$ppm" ] || printf 'BM' >"$ppm"

check "--help exits 0" '"$kro" --help >/dev/null'
check "--version prints the name" '"$kro" --version | grep -q "^kro "'
"$kro" frobnicate >/dev/null 2>&1
check "unknown command exits 2" '[ $? -eq 2 ]'
"$kro" conver a b 2>"$work/err"
check "a misspelt command names the nearest" '[ $? -eq 2 ] && grep -q "did you mean convert?" "$work/err"'
"$kro" convert only-one >/dev/null 2>&1
check "missing operand exits 2" '[ $? -eq 2 ]'

# A variant kro does not read names itself, with the library's status.
"$kro" info "$data/bad/bmp-bitfields.bmp" >/dev/null 2>"$work/err"
rc=$?
check "bad file exits 1" '[ $rc -eq 1 ]'
check "message names file, variant and status" \
    'grep -q "^kro: .*bmp-bitfields.bmp: bit-field BMP is not supported (status 1012160161)$" "$work/err"'
"$kro" info "$work" 2>"$work/err"
unix_check "a directory gets the system's message" 'grep -q "Is a directory" "$work/err"'

"$kro" convert "$data/bad/bmp-truncated-rows.bmp" "$work/never.bmp" 2>/dev/null
check "failed conversion exits 1" '[ $? -eq 1 ]'
check "failed conversion leaves no file" '[ ! -e "$work/never.bmp" ]'
check "no temporary left behind" '[ -z "$(ls -A "$work" | grep kro-)" ]'

if [ -s "$work/c.bmp" ]; then
    cp "$work/c.bmp" "$work/same.bmp"
    before=$(cksum <"$work/same.bmp")
    "$kro" convert "$work/same.bmp" "$work/same.bmp" 2>/dev/null
    check "refuses to overwrite its input" '[ $? -eq 1 ] && [ "$(cksum <"$work/same.bmp")" = "$before" ]'
    ln -s same.bmp "$work/link.bmp"
    "$kro" convert "$work/same.bmp" "$work/link.bmp" 2>/dev/null
    check "refuses to overwrite its input through a link" '[ $? -eq 1 ] && [ "$(cksum <"$work/same.bmp")" = "$before" ]'
fi

"$kro" convert "$data/bad/bmp-colours-huge.bmp" "$work/dir-missing/x.bmp" 2>"$work/err"
check "a missing output folder is named" '[ $? -eq 1 ] && grep -q "folder .*dir-missing. does not exist" "$work/err"'

# A 1 KiB file declaring 1 GiB of pixels is refused without allocating it
# (skipped under the sanitizers, which reserve address space of their own).
if ! ldd "$kro" 2>/dev/null | grep -q libasan; then
    (ulimit -v 262144; "$kro" info "$data/bad/bmp-huge-declared.bmp" 2>"$work/err")
    unix_check "huge declared size refused before allocating" 'grep -q "status 1012120027" "$work/err"'
fi

# --- job options and paper queries ------------------------------------------------
src="$data/bad/bmp-colours-huge.bmp"
"$kro" convert "$src" "$work/dpi.bmp" -dpi 300 --verbose >/dev/null
check "-dpi sets the output resolution" '"$kro" info "$work/dpi.bmp" | grep -q "300 x 300 dpi"'
"$kro" convert -dpi 150 "$src" "$work/before.bmp"
check "job options may come before the files" '"$kro" info "$work/before.bmp" | grep -q "150 x 150 dpi"'
# A bad job option is a usage error that names the option and the problem.
for v in "-dpi:needs a value" "-dpi abc:'abc' is not a whole number" \
    "-dpi 300.5:'300.5' is not a whole number" "-dpi 0:-dpi takes 1 or more" \
    "-scale x:'x' is not a number" "-gamma nan:'nan' is not a number" "-rotate 45:-rotate 45: unknown rotation" \
    "-xreso 3 -dpi 4:-xreso and -dpi: options contradict"; do
    # shellcheck disable=SC2086
    "$kro" convert "$src" "$work/x.bmp" ${v%%:*} 2>"$work/err"
    check "job option '${v%%:*}'" '[ $? -eq 2 ] && grep -qF -- "${v#*:}" "$work/err" && [ ! -e "$work/x.bmp" ]'
done
# A job option given with two dashes gets one answer from every command.
"$kro" info --dpi 300 "$src" 2>"$work/e1"
"$kro" convert "$src" "$work/x.bmp" --dpi 300 2>"$work/e2"
"$kro" paper A4V --dpi 300 2>"$work/e3"
check "--dpi: the same answer everywhere" \
    '[ $? -eq 2 ] && grep -q "job options take one dash: -dpi" "$work/e1" && cmp -s "$work/e1" "$work/e2" && cmp -s "$work/e1" "$work/e3"'
"$kro" convert "$src" "$work/x.bmp" -dpi 99999999 2>"$work/err"
check "a resolution too large for BMP" '[ $? -eq 1 ] && grep -q "99999999 dpi does not fit a BMP file (status 1012120049)" "$work/err"'
"$kro" convert "$src" "$work/x.bmp" -Width 5 2>"$work/err"
check "unrecognised job option: exit 2 naming it" '[ $? -eq 2 ] && grep -q "'"'"'-Width'"'"'" "$work/err"'
"$kro" convert "$src" "$work/x.bmp" -rotate 90 2>"$work/err"
check "an option not applied is warned about" 'grep -q "warning: -rotate has no effect" "$work/err"'
if [ -f "$(dirname "$kro")/RGB.TXT" ]; then
    # -color belongs to no raster conversion kind: info parses it and warns.
    "$kro" info "$src" -color "pale green" >/dev/null 2>"$work/err"
    check "colour names resolve from the shipped RGB.TXT" '[ $? -eq 0 ]'
fi
check "paper list holds every row" '[ "$("$kro" paper | wc -l)" -eq 49 ]'
check "paper by name and dpi" '"$kro" paper A4V -dpi 300 | grep -q "210 x 297 mm, upright (portrait), 2480 x 3504 dots at 300 dpi"'
check "paper by millimetres" '[ "$("$kro" paper 210x297mm)" = "A4V (0x00010410)" ]'
check "paper by dots" '[ "$("$kro" paper 4672x3304dots -dpi 400)" = "A4H (0x00010401)" ]'
check "a paper the names leave out: its size" '[ "$("$kro" paper 5000x50mm --fit)" = "unnamed paper (0x01050101), 91 mm wide, long" ]'
"$kro" paper 5000x5000mm 2>"$work/err"
check "no paper for a huge size" '[ $? -eq 1 ] && grep -q "status 1012120021" "$work/err"'
"$kro" paper nonsense 2>/dev/null
check "unknown paper name fails" '[ $? -eq 1 ]'

# --- CALS ----------------------------------------------------------------------------
if command -v gm >/dev/null && command -v pbmtext >/dev/null; then
    pbmtext -builtin fixed "CALS F" 2>/dev/null | pnmmargin -white 5 >"$work/p.pbm"
    gm convert "$work/p.pbm" "cals:$work/gm.cal"
    "$kro" convert "$work/gm.cal" "$work/from-gm.bmp"
    bmptopnm "$work/from-gm.bmp" 2>/dev/null | ppmtoppm >"$work/from-gm.ppm"
    ppmtoppm <"$work/p.pbm" >"$work/p.ppm"
    check "gm's CALS reads pixel-identical" 'cmp -s "$work/from-gm.ppm" "$work/p.ppm"'
    ppmtobmp -bpp 1 "$work/p.pbm" >"$work/p.bmp" 2>/dev/null
    "$kro" convert "$work/p.bmp" "$work/ours.cal" -dpi 300
    gm convert "cals:$work/ours.cal" "$work/ours.pbm"
    check "our CALS decodes in gm to the same pixels" 'cmp -s "$work/ours.pbm" "$work/p.pbm"'
    check "info shows the CALS records" '"$kro" info "$work/ours.cal" | grep -q "rdensty: 0300"'
else
    skip=$((skip + 1))
    echo "SKIP: gm or netpbm not installed" >&2
fi
"$kro" convert "$data/bad/bmp-short-last-row.bmp" "$work/rgb.cal" 2>"$work/err"
check "RGB to CALS dithered to bilevel" '[ $? -eq 0 ] && "$kro" info "$work/rgb.cal" | grep -q "depth: *1 bit "'
"$kro" convert "$data/bmp/im-v4-1bit.bmp" "$work/hi.cal" -dpi 10000 2>"$work/err"
check "CALS resolution range is said" '[ $? -eq 1 ] && [ ! -e "$work/hi.cal" ] && grep -q "CALS files hold 1 to 9999 dpi, not 10000" "$work/err"'
"$kro" convert "$data/bmp/im-v4-1bit.bmp" "$work/300.cal"
check "11811 pixels per metre is 300 dpi in CALS" 'head -c 1408 "$work/300.cal" | grep -q "rdensty: 0300 "'

# A full disk (here a file size limit) reads the same for every format, and
# leaves nothing behind.
if [ -s "$work/c.bmp" ] && [ -s "$work/b.bmp" ]; then
    for job in c.bmp:full.bmp b.bmp:full.cal; do
        (trap '' XFSZ; ulimit -f 1; "$kro" convert "$work/${job%%:*}" "$work/${job#*:}" 2>"$work/err.${job##*.}")
    done
    unix_check "system errors say the same for every format" \
        'grep -q "full.bmp: File too large$" "$work/err.bmp" && grep -q "full.cal: File too large$" "$work/err.cal" && [ ! -e "$work/full.bmp" ] && [ ! -e "$work/full.cal" ]'
fi
"$kro" info "$data/bad/cals-header-only.cal" 2>"$work/err"
check "CALS without picture data gives its status" '[ $? -eq 1 ] && grep -q "(status 1012160130)" "$work/err"'

# Several inputs before a .ps output make one page each; a bad one among them
# fails the job with its name and leaves no document.
"$kro" convert "$work/c.bmp" "$work/c.pcx" 2>/dev/null
"$kro" convert "$work/c.bmp" "$work/c.jpg" 2>/dev/null
"$kro" convert "$work/c.bmp" "$work/c.pcx" "$work/c.jpg" "$work/b.bmp" "$work/doc.ps" -dpi 150
check "four inputs make a four-page document" '[ $? -eq 0 ] && grep -q "^%%Pages: 4$" "$work/doc.ps" && grep -q "^%%Title: doc.ps$" "$work/doc.ps"'
if command -v gs >/dev/null 2>&1; then
    pages=$(gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=bbox "$work/doc.ps" 2>&1 | grep -c "^%%BoundingBox")
    check "Ghostscript draws every page" '[ "$pages" -eq 4 ]'
else
    skip=$((skip + 1))
fi
"$kro" convert "$work/c.bmp" "$data/bad/cals-header-only.cal" "$work/c.jpg" "$work/bad.ps" 2>"$work/err"
check "a bad input fails the document by name" '[ $? -eq 1 ] && [ ! -e "$work/bad.ps" ] && grep -q "cals-header-only.cal: .*(status 1012160130)" "$work/err"'
"$kro" convert "$work/c.bmp" "$work/c.pcx" "$work/two.bmp" 2>"$work/err"
check "several inputs need a .ps output" '[ $? -eq 2 ] && [ ! -e "$work/two.bmp" ]'

# Into and out of JPEG: a gray JPEG stays gray; bilevel, white-is-zero and
# palette pictures become what JPEG holds (gray or RGB).
if command -v cjpeg >/dev/null && command -v djpeg >/dev/null && command -v ppmtopcx >/dev/null; then
    pgmramp -lr 37 11 >"$work/ramp.pgm" 2>/dev/null
    cjpeg -grayscale "$work/ramp.pgm" >"$work/ramp.jpg"
    "$kro" convert "$work/ramp.jpg" "$work/ramp.bmp"
    djpeg -pnm "$work/ramp.jpg" >"$work/ramp-ref.pgm"
    check "a gray JPEG reads as gray, not as a palette" 'bmptopnm "$work/ramp.bmp" 2>/dev/null | cmp -s - "$work/ramp-ref.pgm"'
    pbmtext -builtin fixed "Ab" 2>/dev/null >"$work/ab.pbm"
    ppmtopcx "$work/ab.pbm" >"$work/ab.pcx" 2>/dev/null
    "$kro" convert "$work/ab.pcx" "$work/ab.jpg"
    check "a bilevel picture goes to JPEG as gray of its own width" '[ $? -eq 0 ] && djpeg -pnm "$work/ab.jpg" | head -2 | tail -1 | grep -q "^$(head -2 "$work/ab.pbm" | tail -1)$"'
    pgmtoppm rgb:ff/20/10 "$work/ramp.pgm" 2>/dev/null | pnmquant 8 2>/dev/null | ppmtopcx -8bit >"$work/pal.pcx" 2>/dev/null
    "$kro" convert "$work/pal.pcx" "$work/pal.jpg"
    check "a palette picture goes to JPEG as RGB" '[ $? -eq 0 ] && djpeg -pnm "$work/pal.jpg" | head -c 2 | grep -q P6'
else
    skip=$((skip + 3))
fi

echo "$pass passed, $fail failed, $skip skipped"
[ "$fail" -eq 0 ]
