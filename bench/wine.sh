#!/bin/sh
# For information: the Windows build (scripts/windows.sh, 32-bit, no SIMD
# kernels beyond what i686 has) under Wine against the Linux build, on the
# same jobs. Needs build-win/kro/bin/kro.exe (or KRO_EXE) and wine.
# Usage: sh bench/wine.sh [BUILD_DIR] [--install]
set -eu
cd "$(dirname "$0")/.."
. bench/lib.sh
bench_args "$@"
bench_setup wine
exe=${KRO_EXE:-$PWD/build-win/kro/bin/kro.exe}
if [ ! -f "$exe" ] || ! command -v wine >/dev/null; then
    echo "wine: no $exe or no wine; run scripts/windows.sh first" >&2
    exit 1
fi
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$PWD/build-win/wineprefix}
# One server for all the runs, gone a minute after the last.
wineserver -p 60 </dev/null >/dev/null 2>&1 || true  # or the one already running
wine "$exe" --version </dev/null >/dev/null 2>&1

rgb=$(input rgb)
page=$(input small-page)
"$kro" convert "$rgb" "$work/wine-rgb.pcx"
"$kro" convert "$page" "$work/wine-page.cal" -dpi 200
for side in linux wine; do
    case $side in linux) run="$kro" ;; *) run="wine $exe" ;; esac
    # shellcheck disable=SC2086
    {
        measure "$side start" $run --version
        measure "$side encode" $run convert "$rgb" "$work/wine-out.pcx"
        measure "$side decode" $run convert "$work/wine-rgb.pcx" "$work/wine-out.bmp"
        measure "$side page" $run convert "$work/wine-page.cal" "$work/wine-out-page.bmp"
    }
done

echo
echo "| job | Linux kro (s) | kro.exe under Wine (s) | Wine / Linux |"
echo "|---|---|---|---|"
for j in "start:kro --version" "encode:6000 x 4000 RGB plaid BMP to PCX" "decode:its PCX to BMP" \
    "page:1700 x 2200 CALS page to BMP"; do
    l=${j%%:*} t=${j#*:}
    echo "| $t | $(median_of "linux $l") | $(median_of "wine $l") | $(ratio "wine $l" "linux $l") |"
done
