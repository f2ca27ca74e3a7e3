#!/bin/sh
# Runs the kro examples of the README on stand-ins for the files they name:
# each must succeed, so the README cannot drift from the command.
# Usage: readme_examples_test.sh KRO README SAMPLES_DIR
set -u
kro=$1 readme=$(cd "$(dirname "$2")" && pwd)/$(basename "$2") samples=$(cd "$3" && pwd)
. "$(dirname "$0")/check.sh"
PATH=$(cd "$(dirname "$kro")" && pwd):$PATH
export PATH
cd "$work" || exit 1

for f in picture in a photo scan; do cp "$samples/madras-rgb.bmp" "$f.bmp"; done
kro convert photo.bmp b.pcx && kro convert photo.bmp c.jpg && kro convert photo.bmp photo.jpg
kro convert scan.bmp scan1.cal && kro convert scan.bmp scan2.cal
printf 'IN;SP1;PU0,0;PD4000,0,4000,3000,0,3000,0,0;SP0;\n' >plot.hpgl
echo "$work/photo.bmp - - - - cal - - - - - 0.5 - - - - - - - - - - - - -" >jobs
mkdir scans && cp "$samples"/*.bmp scans/

# The command lines of the "Using kro" block, one by one.
awk '/^## Using `kro`/ { f = 1 } f && /^```sh/ { c = 1; next } c && /^```/ { exit } c' "$readme" >examples
[ -s examples ] || { echo "FAIL: no examples found" >&2; exit 1; }
while IFS= read -r line; do
    # kro.exe draws plots with GDI32 and writes no PNG or SVG; PDF lines are cli.pdf's.
    if [ -n "${KRO_WINE:-}" ] && echo "$line" | grep -qE '\.(png|pdf|svg)|--to png'; then
        continue
    fi
    if sh -c "$line" >/dev/null 2>err; then
        pass=$((pass + 1))
    else
        fail=$((fail + 1))
        echo "FAIL: $line" >&2
        cat err >&2
    fi
done <examples

# The batch block of the Batches section, whole.
awk '/^### Batches/ { f = 1 } f && /^```sh/ { c = 1; next } c && /^```/ { exit } c' "$readme" >batch.sh
if [ -s batch.sh ] && sh batch.sh >/dev/null 2>err && [ "$(ls out | wc -l)" -eq "$(ls scans | wc -l)" ]; then
    pass=$((pass + 1))
else
    fail=$((fail + 1))
    echo "FAIL: the Batches example" >&2
    cat err >&2
fi

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
