#!/bin/sh
# Batches of small pages: 100 CALS pages of 1700 x 2200 (200 dpi letter, 60
# lines of text) to BMP, `kro batch --jobs N` (N = the cores) against `gm
# mogrify -format bmp` over the same folder; then one page alone, `kro
# convert` against `gm convert`, and `kro --version`, the cost of starting
# kro at all.
# Usage: sh bench/batch.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup batch

pages=100
page=$(input small-page)
dir=$(cd "$work" && pwd)/batch
rm -rf "$dir" && mkdir -p "$dir/in" "$dir/kro" "$dir/gm"
"$kro" convert "$page" "$dir/page.cal" -dpi 200
i=1
while [ "$i" -le "$pages" ]; do
    n=$(printf '%03d' "$i")
    cp "$dir/page.cal" "$dir/in/p$n.cal"
    echo "$dir/in/p$n.cal - - - - bmp - - - - - - - $dir/kro - - - - - - - - - - -"
    i=$((i + 1))
done >"$dir/jobs"
jobs=$(nproc)
echo "page.cal ($(stat -c %s "$dir/page.cal") bytes), $pages pages, kro batch --jobs $jobs"
measure "batch kro" "$kro" batch "$dir/jobs" --jobs "$jobs"
measure "batch gm" sh -c "cd '$dir/in' && gm mogrify -output-directory ../gm -format bmp '*.cal'"
measure "page kro" "$kro" convert "$dir/page.cal" "$dir/page-kro.bmp"
measure "page gm" gm convert "cals:$dir/page.cal" "BMP3:$dir/page-gm.bmp"
measure "start kro" "$kro" --version

echo
echo "| job | kro (s) | pages/s | gm (s) | gm / kro |"
echo "|---|---|---|---|---|"
rate=$(awk -v n="$pages" -v t="$(median_of "batch kro")" 'BEGIN { printf "%.0f", n / t }')
echo "| $pages CALS pages to BMP (\`kro batch --jobs $jobs\`, \`gm mogrify\`) | $(median_of "batch kro") | $rate |" \
    "$(median_of "batch gm") | $(ratio "batch gm" "batch kro") |"
echo "| one page to BMP (\`convert\`) | $(median_of "page kro") | | $(median_of "page gm") | $(ratio "page gm" "page kro") |"
echo "| \`kro --version\` | $(median_of "start kro") | | | |"
