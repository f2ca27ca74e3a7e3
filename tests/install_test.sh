#!/bin/sh
# Installs into a scratch prefix and builds a C host against the installed
# header and library with pkg-config, as a user of the library would.
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
# The installed program finds its libraries and its colour names.
"$prefix/bin/kro" --version >/dev/null
[ -f "$prefix/bin/RGB.TXT" ]
echo "installed tree works: 1 passed, 0 failed"
