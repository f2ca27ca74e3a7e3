#!/bin/sh
# Where kro puts an output that is not a plain new file: a pipe or a device
# gets the whole file at the end or nothing, a symbolic link keeps pointing
# at the file written, a file replaced keeps its mode (and owner, as root).
# Usage: cli_output_test.sh KRO
set -u
kro=$1
. "$(dirname "$0")/check.sh"
leftovers() { ls -A "$@" | grep -c kro-; }

if ! command -v ppmtobmp >/dev/null || ! command -v mkfifo >/dev/null; then
    echo "SKIP: netpbm or mkfifo not installed" >&2
    exit 0
fi
pgmramp -lr 23 7 | ppmtobmp -bpp 8 >"$work/in.bmp" 2>/dev/null
"$kro" convert "$work/in.bmp" - --to pcx >"$work/want.pcx"
bad_in=$(dirname "$0")/data/bad/bmp-truncated-rows.bmp

# A FIFO is written, not replaced; a failed job closes it having written
# nothing. The reader is in place first, as in a shell pipeline.
mkfifo "$work/pipe.pcx"
timeout 20 cat "$work/pipe.pcx" >"$work/got.pcx" &
reader=$!
timeout 20 "$kro" convert "$work/in.bmp" "$work/pipe.pcx"
rc=$?
wait $reader
check "FIFO: the reader gets the picture" '[ $rc -eq 0 ] && cmp -s "$work/got.pcx" "$work/want.pcx"'
check "FIFO: still a FIFO" '[ -p "$work/pipe.pcx" ]'
timeout 20 cat "$work/pipe.pcx" >"$work/got.pcx" &
reader=$!
timeout 20 "$kro" convert "$bad_in" "$work/pipe.pcx" 2>/dev/null
rc=$?
wait $reader
check "FIFO: a failed job writes nothing" '[ $rc -eq 1 ] && [ ! -s "$work/got.pcx" ] && [ -p "$work/pipe.pcx" ]'

# Standard output named as a file (a link like /dev/stdout, made here so that
# a fault cannot replace the system's own) on a pipe: the picture alone
# there, the notes on stderr.
ln -s /proc/self/fd/1 "$work/stdout.pcx"
"$kro" convert "$work/in.bmp" "$work/stdout.pcx" --verbose 2>"$work/notes" | cat >"$work/got.pcx"
check "standard output by name: picture only, notes aside" \
    'cmp -s "$work/got.pcx" "$work/want.pcx" && grep -q "in.bmp (BMP" "$work/notes" && [ -L "$work/stdout.pcx" ]'

# Symbolic links: the file they lead to is written (or made, when they lead
# nowhere yet), resolved from the link's own folder, not the current one.
mkdir "$work/d" "$work/links"
printf 'old' >"$work/d/kept.pcx"
ln -s ../d/kept.pcx "$work/links/to-kept.pcx"
ln -s ../d/new.pcx "$work/links/to-new.pcx"
ln -s ../links/to-new.pcx "$work/d/chain.pcx"
for link in to-kept to-new; do
    "$kro" convert "$work/in.bmp" "$work/links/$link.pcx"
    target=$(readlink "$work/links/$link.pcx")
    check "link $link: kept, its file written" \
        '[ -L "$work/links/$link.pcx" ] && cmp -s "$work/links/$target" "$work/want.pcx"'
done
rm -f "$work/d/new.pcx"
"$kro" convert "$work/in.bmp" "$work/d/chain.pcx"
check "a chain of links leads to the file made" \
    '[ -L "$work/d/chain.pcx" ] && [ -L "$work/links/to-new.pcx" ] && cmp -s "$work/d/new.pcx" "$work/want.pcx"'
"$kro" convert "$bad_in" "$work/links/to-kept.pcx" 2>/dev/null
check "link: a failed job leaves its file alone" \
    '[ $? -eq 1 ] && [ -L "$work/links/to-kept.pcx" ] && cmp -s "$work/d/kept.pcx" "$work/want.pcx"'
check "no temporary left beside links or files" '[ "$(leftovers "$work/d" "$work/links")" -eq 0 ]'
ln -s loop-b.pcx "$work/loop-a.pcx"
ln -s loop-a.pcx "$work/loop-b.pcx"
"$kro" convert "$work/in.bmp" "$work/loop-a.pcx" 2>"$work/err"
check "a loop of links is the system's error" '[ $? -eq 1 ] && grep -q "loop-a.pcx: Too many levels of symbolic links" "$work/err"'
ln -s in.bmp "$work/in-link.bmp"
"$kro" convert "$work/in-link.bmp" "$work/in.bmp" --to bmp 2>"$work/err"
check "an input reached through a link is not overwritten" \
    '[ $? -eq 1 ] && grep -q "output would overwrite the input" "$work/err"'

# Plots drawn to PDF go the same way.
printf 'IN;SP1;PU0,0;PD1000,1000;' >"$work/plot.hpgl"
ln -s d/plot.pdf "$work/plot-link.pdf"
"$kro" convert "$work/plot.hpgl" "$work/plot-link.pdf" 2>/dev/null
check "PDF through a link" '[ -L "$work/plot-link.pdf" ] && head -c 5 "$work/d/plot.pdf" | grep -q "%PDF-"'

# A file replaced keeps its permission bits; as root, its owner and group too.
cp "$work/want.pcx" "$work/private.pcx"
chmod 600 "$work/private.pcx"
if [ "$(id -u)" -eq 0 ] && id nobody >/dev/null 2>&1; then
    chown nobody:"$(id -gn nobody)" "$work/private.pcx"
    owner="nobody:$(id -gn nobody)"
else
    owner="$(id -un):$(id -gn)"
fi
"$kro" convert "$work/in.bmp" "$work/private.pcx" -dpi 150
check "a 0600 file stays 0600 with its owner" \
    '[ "$(stat -c %a:%U:%G "$work/private.pcx")" = "600:$owner" ] && [ "$("$kro" info "$work/private.pcx" | grep -c "150 x 150 dpi")" -eq 1 ]'
# The new file takes the old one's name and the old file goes: nothing is
# left beside it, and another name of the old file still holds the old picture.
ln "$work/private.pcx" "$work/other-name.pcx"
old=$(cksum <"$work/private.pcx")
"$kro" convert "$work/in.bmp" "$work/private.pcx" -dpi 300
check "a replaced file leaves no temporary file; its other names keep the old picture" \
    '[ -z "$(ls -A "$work" | grep "^\.private")" ] && [ "$(cksum <"$work/other-name.pcx")" = "$old" ] &&
     "$kro" info "$work/private.pcx" | grep -q "300 x 300 dpi"'
(umask 027; "$kro" convert "$work/in.bmp" "$work/fresh.pcx")
check "a new file gets the umask's mode" '[ "$(stat -c %a "$work/fresh.pcx")" = 640 ]'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
