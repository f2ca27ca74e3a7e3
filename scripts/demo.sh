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
# TIFF, PNG and PDF: the CALS page's Group 4 data copied as it is coded.
"$kro" convert --verbose out/text-bilevel.cal out/text-bilevel.tif
"$kro" convert --verbose samples/madras-rgb.bmp out/madras.png
"$kro" convert --verbose out/text-bilevel.cal samples/ellipse-gray.bmp out/madras.png out/pages.pdf
"$kro" info out/text-bilevel.tif
"$kro" paper A4V -dpi 300
# A short tour: the photograph fitted to an A4 PostScript page at 300 dpi, the
# gray picture dithered to a CALS file, and the whole samples folder as one
# batch (half size, PCX), two jobs at a time.
"$kro" convert --verbose samples/madras-rgb.bmp out/madras-a4.ps -papertype A4V -dpi 300
"$kro" convert --verbose samples/ellipse-gray.bmp out/ellipse-dithered.cal -dithes 4 -dpi 300
mkdir -p out/batch
here=$(pwd)
for f in samples/*.bmp; do
    echo "$here/$f - - - - pcx - - - - - 0.5 - $here/out/batch - - - - - - - - - - -"
done >out/jobs
"$kro" batch out/jobs --jobs 2 --report out/batch/report.jsonl
# A plot: described, then drawn on A4 to PDF (its labels as text), to a
# 300 dpi PNG and to a bilevel CALS file.
"$kro" info samples/bracket.hpgl -papertype A4H -dpi 300
"$kro" convert --verbose samples/bracket.hpgl out/bracket.pdf -papertype A4H --labels text
"$kro" convert --verbose samples/bracket.hpgl out/bracket.png -papertype A4H -dpi 300
"$kro" convert --verbose samples/bracket.hpgl out/bracket.cal -papertype A4H -dpi 300
echo "demo: results are in out/"
