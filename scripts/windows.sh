#!/bin/sh
# Builds KRO for 32-bit Windows (i686, MinGW-w64) and runs the test suite under
# Wine, as root on Debian 12. The outside libraries are built static from
# Debian's own source packages and kept in build-win/deps, one folder per
# version, so a second run only builds KRO. Leaves dist/kro-VERSION-win32.zip.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)
build=${KRO_WIN_BUILD:-build-win}
jobs=${KRO_JOBS:-2}
start=$(date +%s)

# ---- tools
need=""
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in g++-mingw-w64-i686-posix wine cmake make pkg-config dpkg-dev zip nasm; do
    have "$p" || need="$need $p"
done
have wine32:i386 || need="$need wine32:i386"
src_list=/etc/apt/sources.list.d/kro-deb-src.sources
if [ -n "$need" ] || [ ! -f "$src_list" ]; then
    if [ "$(id -u)" -ne 0 ]; then
        echo "windows: run as root, or install:$need" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
    # Source packages from the archive the machine already uses.
    if [ ! -f "$src_list" ]; then
        uris=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources | head -1)
        suites=$(sed -n 's/^Suites: *//p' /etc/apt/sources.list.d/debian.sources | head -1)
        printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
            "$uris" "$suites" /usr/share/keyrings/debian-archive-keyring.gpg > "$src_list"
    fi
    apt-get update -qq
    # shellcheck disable=SC2086
    [ -z "$need" ] || apt-get install -y -qq --no-install-recommends $need >/dev/null
fi
export WINEDEBUG=-all
export WINEPREFIX=${WINEPREFIX:-$top/$build/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
cross=i686-w64-mingw32

# ---- outside libraries, static, only the parts KRO uses
deps=$top/$build/deps
mkdir -p "$deps/src"
# The candidate source version, without its epoch (a ':' breaks make's paths).
version_of() { apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: \([0-9]*:\)\{0,1\}//p' | head -1; }
fetch() { # package -> unpacked source folder on stdout
    ver=$(version_of "$1")
    dir=$deps/src/$1-$ver
    if [ ! -d "$dir" ]; then
        rm -rf "$deps/src/tmp" && mkdir -p "$deps/src/tmp"
        (cd "$deps/src/tmp" && apt-get source -qq --download-only "$1" >/dev/null 2>&1 &&
            dpkg-source -x --no-check ./*.dsc unpacked >/dev/null)
        mv "$deps/src/tmp/unpacked" "$dir"
        rm -rf "$deps/src/tmp"
    fi
    echo "$dir"
}
cmake_dep() { # name source-folder prefix cmake-args...
    name=$1 srcdir=$2 prefix=$3
    shift 3
    cmake -S "$srcdir" -B "$deps/build-$name" -G "Unix Makefiles" \
        -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >"$deps/$name.log" 2>&1
    cmake --build "$deps/build-$name" -j"$jobs" >>"$deps/$name.log" 2>&1
    cmake --install "$deps/build-$name" >>"$deps/$name.log" 2>&1
    rm -rf "$deps/build-$name"
}
prefix=$deps/win32
mkdir -p "$prefix"

jpeg_ver=$(version_of libjpeg-turbo)
if [ ! -f "$prefix/.libjpeg-turbo-$jpeg_ver" ]; then
    echo "windows: building libjpeg-turbo $jpeg_ver"
    simd=OFF
    command -v nasm >/dev/null && simd=ON
    cmake_dep jpeg "$(fetch libjpeg-turbo)" "$prefix" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
        -DWITH_TURBOJPEG=OFF -DWITH_SIMD=$simd -DWITH_JAVA=OFF
    touch "$prefix/.libjpeg-turbo-$jpeg_ver"
fi
zlib_ver=$(version_of zlib)
if [ ! -f "$prefix/.zlib-$zlib_ver" ]; then
    echo "windows: building zlib $zlib_ver"
    # Debian's source has no win32 makefile; its configure cross-builds from CHOST.
    zlib_src=$(fetch zlib)
    (cd "$zlib_src" && { make distclean >/dev/null 2>&1 || true; } &&
        CHOST=$cross CC=${cross}-gcc-posix AR=${cross}-ar RANLIB=${cross}-ranlib \
            ./configure --static --prefix="$prefix" && make -j"$jobs" libz.a && make install) \
        >"$deps/zlib.log" 2>&1 || { tail -20 "$deps/zlib.log"; exit 1; }
    touch "$prefix/.zlib-$zlib_ver"
fi
tiff_ver=$(version_of tiff)
# The codecs that need no other library: CCITT, PackBits and LZW (the TIFF
# codec's own; Deflate and PNG would need zlib, which this build leaves out).
if [ ! -f "$prefix/.tiff-$tiff_ver-lzw" ]; then
    echo "windows: building libtiff $tiff_ver (CCITT, PackBits and LZW codecs)"
    cmake_dep tiff "$(fetch tiff)" "$prefix" -Dccitt=ON -Dpackbits=ON -Dlzw=ON -Dthunder=OFF \
        -Dnext=OFF -Dlogluv=OFF -Dmdi=OFF -Dzlib=OFF -Dlibdeflate=OFF -Dpixarlog=OFF -Djpeg=OFF \
        -Dold-jpeg=OFF -Djpeg12=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
        -Dcxx=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON
    touch "$prefix/.tiff-$tiff_ver-lzw"
fi
gtest_ver=$(version_of googletest)
if [ ! -f "$prefix/.googletest-$gtest_ver" ]; then
    echo "windows: building googletest $gtest_ver"
    cmake_dep gtest "$(fetch googletest)" "$prefix" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON \
        -Dgtest_disable_pthreads=ON
    touch "$prefix/.googletest-$gtest_ver"
fi
deps_done=$(date +%s)
echo "windows: outside libraries ready ($((deps_done - start)) s)"

# ---- KRO for Windows, its tests under Wine
kro=$top/$build/kro
cmake -S . -B "$kro" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake" -DKRO_WIN_DEPS="$prefix" \
    -DKRO_WERROR=ON -DKRO_BUILD_TESTS=ON >"$top/$build/configure.log" 2>&1 ||
    { tail -20 "$top/$build/configure.log"; exit 1; }
cmake --build "$kro" -j"$jobs"
built=$(date +%s)
echo "windows: built ($((built - deps_done)) s)"
log=$top/$build/ctest.log
status=0
ctest --test-dir "$kro" -j"$jobs" --timeout 600 >"$log" 2>&1 || status=$?
grep -E '^[0-9]+% tests passed' "$log"
total=$(sed -n 's/.* out of \([0-9]*\)$/\1/p' "$log" | tail -1)
skipped=$(grep -c '(Skipped)$' "$log" || true)
echo "windows: $skipped of $total tests skipped (Unix-only tools, Cairo, the 9x kernel family)"
if [ "$status" -ne 0 ]; then
    sed -n '/The following tests FAILED/,$p' "$log"
    exit 1
fi

# ---- the same files as the Linux build writes, byte for byte
linux_kro=""
for dir in build build-ci-release; do
    [ -x "$top/$dir/cli/kro" ] && linux_kro=$top/$dir/cli/kro && break
done
if [ -z "$linux_kro" ] && pkg-config --exists cairo libtiff-4 libjpeg libpng 2>/dev/null; then
    echo "windows: building the Linux kro to compare with"
    cmake -S . -B "$top/$build/linux" -DKRO_BUILD_TESTS=OFF >"$top/$build/linux.log" 2>&1 &&
        cmake --build "$top/$build/linux" -j"$jobs" --target kro_cli >>"$top/$build/linux.log" 2>&1 &&
        linux_kro=$top/$build/linux/cli/kro
fi
if [ -n "$linux_kro" ]; then
    cmp_dir=$top/$build/compare
    rm -rf "$cmp_dir" && mkdir -p "$cmp_dir/linux" "$cmp_dir/win"
    compared=0
    # Pictures only: plots are drawn by GDI32 on Windows and by Cairo on Linux,
    # whose wide pens and arcs differ by a pixel here and there.
    for input in samples/*.bmp tests/data/bmp/*.bmp; do
        name=$(basename "$input")
        for ext in bmp pcx cal ps pdf; do
            case $name.$ext in *.bmp.bmp) continue ;; esac
            out=$name.$ext  # the same name on both sides: PostScript titles carry it
            opts="-dpi 200"
            # CALS holds bilevel pictures: others are dithered to it.
            [ "$ext" = cal ] && opts="$opts -dithes 1"
            # shellcheck disable=SC2086
            "$linux_kro" convert "$input" "$cmp_dir/linux/$out" $opts >/dev/null 2>&1 || continue
            # shellcheck disable=SC2086
            wine "$kro/bin/kro.exe" convert "$input" "$cmp_dir/win/$out" $opts >/dev/null 2>&1 ||
                { echo "windows: kro.exe failed on $input -> .$ext" >&2; exit 1; }
            for side in linux win; do  # a PostScript file's creation date is its own
                grep -av '^%%CreationDate:' "$cmp_dir/$side/$out" >"$cmp_dir/$side/$out.body"
            done
            cmp "$cmp_dir/linux/$out.body" "$cmp_dir/win/$out.body" ||
                { echo "windows: $out differs from the Linux build's" >&2; exit 1; }
            compared=$((compared + 1))
        done
    done
    echo "windows: $compared BMP, PCX, CALS, PostScript and PDF files identical to the Linux build's"
else
    echo "windows: no Linux kro (sh scripts/setup.sh installs what it needs): outputs not compared"
fi

# ---- the package
version=$(sed -n 's/^project(kro VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$top/$build/kro-$version-win32
rm -rf "$stage" && mkdir -p "$stage/bin" "$stage/lib" "$stage/include"
cp "$kro/bin/kro.dll" "$kro/bin/fnd.dll" "$kro/bin/libPixo.dll" "$kro/bin/kro.exe" "$stage/bin/"
${cross}-strip --strip-unneeded "$stage"/bin/*.dll "$stage"/bin/*.exe
[ -f /usr/share/X11/rgb.txt ] && cp /usr/share/X11/rgb.txt "$stage/bin/RGB.TXT"
cp -r include/kro "$stage/include/"
rm -f "$stage/include/kro/gdi.h"  # the Unix stand-in's; Windows hosts use windows.h
cp "$kro/libkro.dll.a" "$kro/kro.lib" "$kro/kro.def" "$stage/lib/"
cp "$kro/platform/fnd/libfnd.dll.a" "$kro/platform/pixo/libPixo.dll.a" "$stage/lib/"
for def in platform/fnd/fnd.def:fnd platform/pixo/pixo.def:libPixo; do
    ${cross}-dlltool -d "${def%%:*}" -D "${def##*:}.dll" -l "$stage/lib/${def##*:}.lib"
    cp "${def%%:*}" "$stage/lib/${def##*:}.def"
done
# Every DLL the programs load is Windows' own or in the package.
for f in "$stage"/bin/*.dll "$stage"/bin/*.exe; do
    ${cross}-objdump -p "$f" | sed -n 's/^\tDLL Name: //p'
done | sort -u | while read -r dll; do
    case $(echo "$dll" | tr 'A-Z' 'a-z') in
    kernel32.dll | msvcrt.dll | gdi32.dll | user32.dll | advapi32.dll) ;;
    kro.dll | fnd.dll | libpixo.dll) ;;
    *) echo "windows: the package needs $dll, which Windows does not ship" >&2; exit 1 ;;
    esac
done
mkdir -p dist
rm -f "dist/kro-$version-win32.zip"
(cd "$top/$build" && zip -qr "$top/dist/kro-$version-win32.zip" "kro-$version-win32")
echo "windows: dist/kro-$version-win32.zip ($(($(date +%s) - start)) s in all)"
