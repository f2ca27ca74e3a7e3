#!/bin/sh
# Installs into a scratch prefix and builds a C host against the installed
# header and library, as a user of the library would: with pkg-config, and
# with CMake's find_package(kro).
# Usage: install_test.sh BUILD_DIR
set -eu
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name kro.pc | head -1)
export PKG_CONFIG_PATH=$(dirname "$pc")
cat >"$prefix/host.c" <<'SRC'
#include <kro/kro.h>
#include <stdio.h>
int main(void) {
    float w, h;
    RsImage image = {0};
    if (KroQueryLengthByPapertype(0x00010410, &w, &h) != 0) return 1;
    if (KroBMPToRsImage(NULL, &image, NULL, NULL, NULL) != -1 || fndErrorStatus != KRO_ERR_NULL)
        return 1;
    printf("%.0f x %.0f\n", w, h);
    return 0;
}
SRC
libdir=$(pkg-config --variable=libdir kro)
cc -std=c11 -Wall -Werror "$prefix/host.c" $(pkg-config --cflags --libs kro) \
    -Wl,-rpath,"$libdir" -o "$prefix/host"
[ "$("$prefix/host")" = "210 x 297" ]
mkdir "$prefix/cmake-host"
cat >"$prefix/cmake-host/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(host C)
find_package(kro 0.1 REQUIRED)
add_executable(host ../host.c)
target_link_libraries(host PRIVATE kro::kro)
CMAKE
cmake -S "$prefix/cmake-host" -B "$prefix/cmake-host/build" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="-std=c11 -Wall -Werror" >/dev/null
cmake --build "$prefix/cmake-host/build" >/dev/null
[ "$("$prefix/cmake-host/build/host")" = "210 x 297" ]
# The installed program finds its libraries and its colour names.
"$prefix/bin/kro" --version >/dev/null
[ -f "$prefix/bin/RGB.TXT" ]
# ... and the drawing module it loads beside its GDI library when a plot is drawn.
printf 'IN;SP1;PA0,0;PD4000,4000;' >"$prefix/plot.hpgl"
"$prefix/bin/kro" convert "$prefix/plot.hpgl" "$prefix/plot.png"
[ "$(head -c 4 "$prefix/plot.png" | tail -c 3)" = PNG ]
echo "installed tree works: 3 passed, 0 failed"
