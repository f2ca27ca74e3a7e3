# Shared by the benchmark scripts: timing with medians and peak memory.
# measure LABEL CMD...: runs CMD $RUNS times (after one warm-up), appends
# "LABEL<TAB>median seconds<TAB>peak KiB" to $RESULTS.
RUNS=${RUNS:-7}

now_ns() { date +%s%N; }

measure() {
    label=$1
    shift
    "$@" >/dev/null 2>&1 || { echo "bench: '$label' failed" >&2; return 1; }
    times=""
    i=0
    while [ "$i" -lt "$RUNS" ]; do
        t0=$(now_ns)
        "$@" >/dev/null 2>&1
        t1=$(now_ns)
        times="$times $((t1 - t0))"
        i=$((i + 1))
    done
    median=$(printf '%s\n' $times | sort -n | awk '{ a[NR] = $1 } END { printf "%.4f", a[int((NR + 1) / 2)] / 1e9 }')
    peak=$(/usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -1)
    printf '%s\t%s\t%s\n' "$label" "$median" "$peak" >>"$RESULTS"
    printf '  %-40s %8ss %8s KiB\n' "$label" "$median" "$peak"
}

# ratio A B: A's median over B's, from $RESULTS.
ratio() {
    awk -F'\t' -v a="$1" -v b="$2" '$1 == a { x = $2 } $1 == b { y = $2 } END { printf "%.2f", x / y }' "$RESULTS"
}

median_of() { awk -F'\t' -v a="$1" '$1 == a { print $2 }' "$RESULTS"; }
peak_of() { awk -F'\t' -v a="$1" '$1 == a { print $3 }' "$RESULTS"; }

install_peers() {
    need=""
    for p in graphicsmagick netpbm libtiff-tools time; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
    done
    if [ -n "$need" ]; then
        apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
    fi
}

# bench_setup NAME [CMAKE FLAGS]: installs the peers, builds kro in $build
# (the first argument of the script, or build-bench) and sets kro, work and
# an empty RESULTS file named after NAME.
bench_setup() {
    name=$1
    shift
    install_peers
    sh scripts/setup.sh
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKRO_BUILD_TESTS=OFF "$@" >/dev/null
    cmake --build "$build" -j "$(nproc)" >/dev/null
    kro=$PWD/$build/cli/kro
    work=${BENCH_DIR:-bench/out}
    mkdir -p "$work"
    RESULTS=$work/$name.tsv
    : >"$RESULTS"
}
