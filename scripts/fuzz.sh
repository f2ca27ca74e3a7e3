#!/bin/sh
# Builds the libFuzzer harnesses of fuzz/ with clang (address and undefined-
# behaviour sanitizers) and runs each for a bounded time from a fixed seed.
# Any crash, leak, timeout or out-of-memory fails the run; its input is kept
# under BUILD/fuzz-findings/. One summary line per harness.
#
#   scripts/fuzz.sh [NAME...]     NAME as in fuzz/fuzz_NAME.cpp; default: all
#
# Environment: KRO_FUZZ_SECONDS (per harness, default 60), KRO_FUZZ_RUNS (stop
# after this many inputs, so that a run is the same on any machine; default: no
# limit), KRO_FUZZ_SEED
# (default 1), KRO_FUZZ_BUILD (build folder, default build-fuzz).
# A harness may set its longest input with a line "// Max length: N".
set -eu
cd "$(dirname "$0")/.."
seconds=${KRO_FUZZ_SECONDS:-60}
runs_limit=${KRO_FUZZ_RUNS:--1}
seed=${KRO_FUZZ_SEED:-1}
build=${KRO_FUZZ_BUILD:-build-fuzz}
jobs=$(nproc 2>/dev/null || echo 2)

if [ $# -gt 0 ]; then
    names="$*"
else
    names=$(for f in fuzz/fuzz_*.cpp; do basename "$f" .cpp | sed 's/^fuzz_//'; done)
fi
targets=$(for n in $names; do printf 'fuzz_%s ' "$n"; done)

echo "== fuzz build ($build)"
CC=${CC:-clang} CXX=${CXX:-clang++} cmake -S . -B "$build" -DKRO_FUZZ=ON \
    -DKRO_BUILD_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$jobs" --target $targets >/dev/null

root=$(pwd)
failed=0
for name in $names; do
    src=fuzz/fuzz_$name.cpp
    work=$build/fuzz-work/$name
    findings=$build/fuzz-findings/$name
    log=$build/fuzz-work/$name.log
    rm -rf "$work" "$findings"
    mkdir -p "$work" "$findings"
    # The run starts from the seeds and the malformed samples of its format.
    [ -d "fuzz/corpus/$name" ] && cp fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
    bad=$(sed -n 's|^// Bad samples: ||p' "$src")
    for pattern in $bad; do
        for f in tests/data/bad/$pattern; do [ -f "$f" ] && cp "$f" "$work"/; done
    done
    maxlen=$(sed -n 's|^// Max length: \([0-9]*\).*|\1|p' "$src")
    dict=
    [ -f "fuzz/dict/$name.dict" ] && dict="-dict=$root/fuzz/dict/$name.dict"
    set +e
    # shellcheck disable=SC2086
    (cd "$findings" && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1 \
        "$root/$build/fuzz/fuzz_$name" -seed="$seed" -max_total_time="$seconds" -runs="$runs_limit" \
        -max_len="${maxlen:-16384}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
        $dict "$root/$work") >"$log" 2>&1
    rc=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    corpus=$(find "$work" -type f | wc -l)
    if [ "$rc" -eq 0 ]; then
        echo "fuzz $name: ok, ${runs:-?} runs (at most ${seconds} s), corpus $corpus"
    else
        failed=1
        finding=$(find "$findings" -type f | head -n 1)
        echo "fuzz $name: FAILED (exit $rc) ${finding:-no input kept}; log $log"
        grep -m 3 -E 'ERROR|SUMMARY|runtime error' "$log" | sed 's/^/    /' || true
    fi
done
exit "$failed"
