#!/bin/sh
# Sets everything up and runs the whole test suite: a warnings-as-errors build
# and an AddressSanitizer + UndefinedBehaviorSanitizer build, then the threads
# test alone under ThreadSanitizer.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
for variant in release asan; do
    dir=build-ci-$variant
    flags="-DKRO_WERROR=ON -DKRO_BUILD_TESTS=ON"
    if [ "$variant" = asan ]; then
        flags="$flags -DKRO_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo"
    else
        flags="$flags -DCMAKE_BUILD_TYPE=Release"
    fi
    echo "== $variant build"
    # shellcheck disable=SC2086
    cmake -S . -B "$dir" $flags >/dev/null
    cmake --build "$dir" -j "$jobs"
    echo "== $variant tests"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --test-dir "$dir" --output-on-failure -j "$jobs"
done
# Only the threads test and what it links are built under ThreadSanitizer.
echo "== tsan threads test"
cmake -S . -B build-ci-tsan -DKRO_WERROR=ON -DKRO_BUILD_TESTS=ON -DKRO_TSAN=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-ci-tsan -j "$jobs" --target threads_test
TSAN_OPTIONS=halt_on_error=1 build-ci-tsan/tests/threads_test
# The fuzz targets are built (not run) so that they cannot rot.
if command -v clang++ >/dev/null; then
    echo "== fuzz targets (clang)"
    CC=clang CXX=clang++ cmake -S . -B build-ci-fuzz -DKRO_FUZZ=ON -DKRO_BUILD_TESTS=OFF \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build-ci-fuzz -j "$jobs"
fi
