# Shared by the benchmark scripts: arguments, peers, the build, the inputs,
# timing with medians and peak memory.
# measure LABEL CMD...: runs CMD $RUNS times (after one warm-up that checks it
# works and takes its peak memory), appends "LABEL<TAB>median seconds<TAB>peak
# KiB" to $RESULTS. A job whose warm-up takes $BENCH_SLOW seconds or more (10:
# peers that take many times kro's time) runs at most twice.
RUNS=${RUNS:-7}

# The peers and the tools the timing needs, as Debian packages.
BENCH_PACKAGES="graphicsmagick netpbm libjpeg-turbo-progs libtiff-tools hp2xx hyperfine time"

now_ns() { date +%s%N; }

# quote ARG: ARG as one single-quoted shell word.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }

# median_times NS...: the median of nanosecond times, in seconds.
median_times() {
    printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { printf "%.4f", a[int((NR + 1) / 2)] / 1e9 }'
}

# peak_kib CMD...: the maximum resident set size of one run of CMD, in KiB;
# fails as CMD does.
peak_kib() {
    out=$(/usr/bin/time -v "$@" 2>&1 >/dev/null) || return 1
    printf '%s\n' "$out" | awk -F': ' '/Maximum resident set size/ { print $2 }'
}

measure() {
    label=$1
    shift
    t0=$(now_ns)
    peak=$(peak_kib "$@") || { echo "bench: '$label' failed" >&2; return 1; }
    runs=$RUNS
    [ $(($(now_ns) - t0)) -lt $((${BENCH_SLOW:-10} * 1000000000)) ] || [ "$runs" -le 2 ] || runs=2
    if command -v hyperfine >/dev/null 2>&1; then
        # No shell between hyperfine and the command: nothing to subtract.
        cmd=""
        for a in "$@"; do cmd="$cmd $(quote "$a")"; done
        json=$(mktemp)
        hyperfine -N --style none --warmup 0 --runs "$runs" --export-json "$json" "$cmd" >/dev/null 2>&1 ||
            { echo "bench: '$label' failed under hyperfine" >&2; rm -f "$json"; return 1; }
        median=$(awk -F': *' '/"median"/ { gsub(/[ ,]/, "", $2); printf "%.4f", $2; exit }' "$json")
        rm -f "$json"
    else
        times=""
        i=0
        while [ "$i" -lt "$runs" ]; do
            t0=$(now_ns)
            "$@" >/dev/null 2>&1
            t1=$(now_ns)
            times="$times $((t1 - t0))"
            i=$((i + 1))
        done
        # shellcheck disable=SC2086
        median=$(median_times $times)
    fi
    printf '%s\t%s\t%s\n' "$label" "$median" "$peak" >>"$RESULTS"
    printf '  %-40s %8ss %8s KiB\n' "$label" "$median" "$peak"
}

# ratio A B: A's median over B's, from $RESULTS.
ratio() {
    awk -F'\t' -v a="$1" -v b="$2" '$1 == a { x = $2 } $1 == b { y = $2 } END { printf "%.2f", x / y }' "$RESULTS"
}

median_of() { awk -F'\t' -v a="$1" '$1 == a { print $2 }' "$RESULTS"; }
peak_of() { awk -F'\t' -v a="$1" '$1 == a { print $3 }' "$RESULTS"; }

# install_peers: the peers and timing tools, from apt when BENCH_INSTALL=1
# (--install); otherwise a missing one stops the run with a hint.
install_peers() {
    need=""
    for p in $BENCH_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || need="$need $p"
    done
    [ -z "$need" ] && return 0
    if [ "${BENCH_INSTALL:-0}" != 1 ]; then
        echo "bench: missing$need; run again with --install (as root)" >&2
        exit 1
    fi
    # shellcheck disable=SC2086
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq $need >/dev/null
}

# bench_args "$@": --install anywhere sets BENCH_INSTALL=1; the first word
# that is not a flag is the build directory (build-bench by default).
bench_args() {
    build=""
    for a in "$@"; do
        case $a in
            --install) BENCH_INSTALL=1 ;;
            --*) ;;  # the driver's own flags
            *) [ -n "$build" ] || build=$a ;;
        esac
    done
    build=${build:-${BENCH_BUILD:-build-bench}}
}

# bench_setup NAME [CMAKE FLAGS]: installs the peers, builds kro in $build
# and sets kro, work and an empty RESULTS file named after NAME. Under
# run_all.sh (BENCH_READY=1) the build and the peers are already there.
bench_setup() {
    name=$1
    shift
    if [ "${BENCH_READY:-0}" != 1 ]; then
        install_peers
        sh scripts/setup.sh
        cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DKRO_BUILD_TESTS=OFF "$@" >/dev/null
        cmake --build "$build" -j "$(nproc)" >/dev/null
    fi
    kro=$PWD/$build/cli/kro
    work=${BENCH_DIR:-bench/out}
    mkdir -p "$work"
    RESULTS=$work/$name.tsv
    : >"$RESULTS"
}

# larger A B: whichever of files A and B holds more bytes, the file that
# `cp` copies as the floor of a job that reads one and writes the other.
larger() {
    if [ "$(stat -c %s "$1")" -ge "$(stat -c %s "$2")" ]; then echo "$1"; else echo "$2"; fi
}

# kro_footprint: peak KiB of kro doing nothing (kro --version).
kro_footprint() { peak_kib "$kro" --version; }

# input NAME: makes bench input NAME in $work once and prints its path.
#   rgb         6000 x 4000 RGB plaid (run-length coding shrinks it 28 times)
#   photo       6000 x 4000 RGB photograph-like picture (plasma, grain)
#   gray        photo as an 8-bit gray BMP
#   palette     photo in 216 colours (a 6 x 6 x 6 cube), an 8-bit palette BMP
#   noise       6000 x 4000 RGB noise, the run-length coders' worst case
#   page        4960 x 7016 bilevel page, 60 lines of plain text
#   text-page   4960 x 7016 bilevel page, 90 lines enlarged 3 times (600 dpi)
#   noise-page  4960 x 7016 bilevel noise, the Group 4 coder's worst case
#   small-page  1700 x 2200 bilevel page (200 dpi letter), 60 lines enlarged twice
#   polylines   HP-GL plot of 200,000 polylines (bench/gen_polylines.sh)
input() {
    case $1 in
        polylines) f=$work/polylines.hpgl ;;
        *) f=$work/$1.bmp ;;
    esac
    [ -s "$f" ] && { echo "$f"; return 0; }
    case $1 in
        rgb) ppmpat -madras 6000 4000 | ppmtobmp -bpp 24 >"$f" 2>/dev/null ;;
        photo)
            gm convert -size 1500x1000 plasma:fractal -resize '6000x4000!' +noise Gaussian \
                -depth 8 "BMP3:$f" ;;
        gray) bmptopnm "$(input photo)" 2>/dev/null | ppmtopgm | ppmtobmp -bpp 8 >"$f" 2>/dev/null ;;
        palette)
            pamseq 3 5 >"$work/cube.pam" 2>/dev/null
            bmptopnm "$(input photo)" 2>/dev/null | pnmremap -nofloyd -mapfile="$work/cube.pam" 2>/dev/null |
                ppmtobmp -bpp 8 >"$f" 2>/dev/null
            rm -f "$work/cube.pam" ;;
        noise)
            for c in r g b; do pgmnoise 6000 4000 >"$work/noise-$c.pgm"; done
            rgb3toppm "$work/noise-r.pgm" "$work/noise-g.pgm" "$work/noise-b.pgm" |
                ppmtobmp -bpp 24 >"$f" 2>/dev/null
            rm -f "$work"/noise-?.pgm ;;
        page)
            pbmtext -builtin fixed -width 4960 \
                "$(yes 'The quick brown fox jumps over the lazy dog 0123456789.' | head -n 60 | tr '\n' ' ')" 2>/dev/null |
                pnmpad -white -width 4960 -height 7016 | ppmtobmp -bpp 1 >"$f" 2>/dev/null ;;
        text-page)
            # 90 lines set in the built-in font, enlarged 3 times (strokes 3
            # pels wide, as at 600 dpi) and placed on an A4 sheet.
            yes 'Pack my box with five dozen liquor jugs; the quick brown fox jumps over 13 lazy dogs.' |
                head -n 90 >"$work/text.txt"
            pbmtext -builtin fixed <"$work/text.txt" 2>/dev/null | pnmenlarge 3 |
                pnmpad -white -width 4960 -height 7016 | ppmtobmp -bpp 1 >"$f" 2>/dev/null ;;
        small-page)
            yes 'Pack my box with five dozen liquor jugs; the quick brown fox jumps over 13 lazy dogs.' |
                head -n 60 >"$work/text.txt"
            pbmtext -builtin fixed <"$work/text.txt" 2>/dev/null | pnmenlarge 2 |
                pnmpad -white -width 1700 -height 2200 | ppmtobmp -bpp 1 >"$f" 2>/dev/null ;;
        noise-page)
            pgmnoise -randomseed=1 4960 7016 2>/dev/null | pamditherbw -threshold 2>/dev/null |
                pamtopnm 2>/dev/null | ppmtobmp -bpp 1 >"$f" 2>/dev/null ;;
        polylines) sh bench/gen_polylines.sh 200000 >"$f" ;;
        *) echo "bench: no input named $1" >&2; return 1 ;;
    esac
    [ -s "$f" ] || { echo "bench: could not make $f" >&2; rm -f "$f"; return 1; }
    echo "$f"
}
