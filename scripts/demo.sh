#!/bin/sh
# Sets everything up, builds kro and runs it on the bundled sample pictures,
# writing the results to out/.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKRO_BUILD_TESTS=OFF >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
kro=build/cli/kro
mkdir -p out
for f in samples/*.bmp; do
    name=$(basename "$f" .bmp)
    "$kro" info "$f"
    "$kro" convert --verbose "$f" "out/$name.bmp"
done
# The bilevel sample as a CALS Type 1 file at 300 dpi, and back.
"$kro" convert --verbose samples/text-bilevel.bmp out/text-bilevel.cal -dpi 300
"$kro" info out/text-bilevel.cal
"$kro" convert --verbose out/text-bilevel.cal out/text-bilevel-from-cals.bmp
"$kro" paper A4V -dpi 300
echo "demo: results are in out/"
