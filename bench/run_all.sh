#!/bin/sh
# Every benchmark in one run: builds kro once (with the kernel benchmarks),
# makes the inputs, runs each per-format script, and writes docs/performance.md
# from bench/performance.md.in: the hand-written text of the template with the
# run's details, the goals table and each script's tables put in.
# bench/wine.sh (the Windows build under Wine, for information; it needs
# scripts/windows.sh's build) runs too, and so do bench/tiff.sh, png.sh and
# pdf.sh when they are there; their goal
# rows read these labels from tiff.tsv, png.tsv and pdf.tsv:
#   tiff.tsv  "cals-tiff kro", "cals-tiff cp" (cp of the CALS input), "cals-tiff gm",
#             the same with "tiff-cals" (a Group 4 TIFF to CALS)
#   pdf.tsv   "cals kro", "cals cp" (cp of the CALS input), "cals gm"
#   png.tsv   "read-photo kro", "read-photo pngtopnm", "write-photo kro",
#             "write-photo pnmtopng", the same with "page" for the bilevel page
# Usage: sh bench/run_all.sh [BUILD_DIR] [--install] [--no-doc | --doc-only]
#   RUNS=N (default 5) runs a job; BENCH_DIR (default bench/out) holds the
#   inputs and the results. --no-doc leaves docs/performance.md alone;
#   --doc-only writes it again from the results of the last run.
set -eu
cd "$(dirname "$0")/.."
RUNS=${RUNS:-5}
export RUNS
. bench/lib.sh
doc=1 run=1
for a in "$@"; do
    case $a in
        --no-doc) doc=0 ;;
        --doc-only) run=0 ;;
    esac
done
bench_args "$@"
export BENCH_INSTALL=${BENCH_INSTALL:-0}

# run_benchmarks: every script and the kernels, with the run's details.
run_benchmarks() {
    load_before=$(cut -d' ' -f1-3 /proc/loadavg)
    started=$(date -u '+%Y-%m-%d %H:%M UTC')
    for b in bmp pcx ps jpeg cals batch tiff png pdf scale colour hpgl wine; do
        [ -f "bench/$b.sh" ] || continue
        echo "=== $b"
        rm -f "$work/$b.md"
        # The tables follow the first blank line of a script's output; a
        # table gets blank lines around it to stand apart from the notes.
        sh "bench/$b.sh" "$build" | tee "$work/$b.log" | awk -v f="$work/$b.md" '
            seen { t = /^\|/; if (t != wasTable && n) print "" > f; print > f; wasTable = t; n++ }
            !seen && $0 == "" { seen = 1 }
            !seen'
        [ -s "$work/$b.md" ] || echo "(no figures: bench/$b.sh failed, see $work/$b.log)" >"$work/$b.md"
    done
    # The scripts of other formats, each under a heading, where they ran.
    : >"$work/extra.md"
    for b in tiff png pdf wine; do
        [ -f "bench/$b.sh" ] || continue
        name=$(echo "$b" | tr a-z A-Z)
        [ "$b" = wine ] && name="The Windows build under Wine, for information"
        printf '## %s (`bench/%s.sh`)\n\n' "$name" "$b" >>"$work/extra.md"
        cat "$work/$b.md" >>"$work/extra.md"
        echo >>"$work/extra.md"
    done
    "$build/bench/kernels_bench" --benchmark_min_time=0.2 --benchmark_format=console \
        --benchmark_out="$work/kernels.json" --benchmark_out_format=json | tee "$work/kernels.log"
    awk '{ printf "    %s\n", $0 }' "$work/kernels.log" >"$work/kernels.md"
    load_after=$(cut -d' ' -f1-3 /proc/loadavg)
    kro_footprint >"$work/footprint.txt"
    cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)
    mem=$(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)
    timer="the shell clock"
    command -v hyperfine >/dev/null && timer="hyperfine with no shell"
    {
        echo "Run of $started: $(nproc) cores ($cpu), $mem; \`RUNS=$RUNS\` (the median of"
        echo "$RUNS runs each, timed by $timer); load average $load_before before the run"
        echo "and $load_after after it (1, 5 and 15 minutes)."
        echo "kro's own footprint (\`kro --version\`): $(cat "$work/footprint.txt") KiB."
    } >"$work/run.md"
}

if [ "$run" = 1 ]; then
    bench_setup all -DKRO_BUILD_BENCH=ON
    export BENCH_READY=1 BENCH_DIR="$work" BENCH_BUILD="$build"
    run_benchmarks
else
    work=${BENCH_DIR:-bench/out}
    [ -s "$work/footprint.txt" ] || { echo "bench: no results in $work; run without --doc-only" >&2; exit 1; }
fi

# get FILE LABEL [COLUMN]: a median (column 2) or peak (3) from FILE.tsv.
get() {
    [ -f "$work/$1.tsv" ] || return 0
    awk -F'\t' -v a="$2" -v c="${3:-2}" '$1 == a { print $c }' "$work/$1.tsv"
}

# goal FILE JOB GOAL le|ge N KRO REFS BYTES: one row of the goals table.
# le: kro / the fastest of REFS at most N; ge: that peer / kro at least N.
# BYTES: the pictures the job holds, for its peak memory ("-": not measured).
base=$(cat "$work/footprint.txt")
goal() {
    file=$1 job=$2 text=$3 kind=$4 n=$5 k=$6 refs=$7 bytes=$8
    kt=$(get "$file" "$k")
    best="" bt=""
    oldifs=$IFS
    IFS=,
    for r in $refs; do
        t=$(get "$file" "$r")
        [ -n "$t" ] || continue
        if [ -z "$bt" ] || awk -v a="$t" -v b="$bt" 'BEGIN { exit !(a < b) }'; then best=$r bt=$t; fi
    done
    IFS=$oldifs
    # The peer's name is the label's word that names a program.
    peer=$(echo "$best" | awk '{ for (i = 1; i <= NF; i++) if ($i ~ /^(cp|gm|netpbm|cjpeg|djpeg|tiffcp|hp2xx|pngtopnm|pnmtopng)$/) print $i }')
    [ -f "$work/$file.tsv" ] || kt=""
    if [ -z "$kt" ] || [ -z "$bt" ]; then
        why="not measured"
        [ -f "$work/$file.tsv" ] || why="not measured (no bench/$file.sh results)"
        echo "| $job | $text | ${kt:--} | ${bt:--}${peer:+ ($peer)} | - | $why |  |"
        return
    fi
    mem="-"
    if [ "$bytes" != - ]; then
        mem=$(awk -v p="$(get "$file" "$k" 3)" -v z="$base" -v b="$bytes" \
            'BEGIN { printf "%.2f", (p - z) * 1024 / b }')
    fi
    awk -v k="$kt" -v r="$bt" -v kind="$kind" -v n="$n" -v job="$job" -v text="$text" \
        -v peer="$peer" -v mem="$mem" 'BEGIN {
        x = kind == "le" ? k / r : r / k
        ok = kind == "le" ? x <= n : x >= n
        memok = mem == "-" ? "" : (mem <= 1.3 ? "" : " (memory over)")
        printf "| %s | %s | %.3f | %.3f (%s) | %.2f | %s%s | %s |\n", job, text, k, r, peer, x,
            ok ? "yes" : "**no**", memok, mem
    }'
}

rgb=72000000 page=4349920 pal=24000000 bilevel=3000000 small=467500
# A CALS job holds the coded page whole beside the plain one (the Group 4
# decoder takes the coded stream in one piece, and the coder fills one).
coded() { if [ -f "$work/$1" ]; then echo $((page + $(stat -c %s "$work/$1"))); else echo $page; fi; }
textPair=$(coded page.cal) noisePair=$(coded noise.cal)
cp2="within 2x of cp of the larger file"
ahead="faster than the fastest peer"
goals=$work/goals.md
{
    echo "| job | goal | kro (s) | reference (s) | ratio | met? | kro peak above footprint / picture bytes |"
    echo "|---|---|---|---|---|---|---|"
    goal bmp "BMP to BMP (RGB plaid)" "$cp2" le 2 "rgb kro" "rgb cp" $rgb
    goal bmp "BMP to BMP (RGB plaid)" "$ahead" ge 1 "rgb kro" "rgb gm,rgb netpbm" $rgb
    goal bmp "BMP to BMP (RGB photograph)" "$cp2" le 2 "photo kro" "photo cp" $rgb
    goal bmp "BMP to BMP (RGB photograph)" "$ahead" ge 1 "photo kro" "photo gm,photo netpbm" $rgb
    # (goal sets job, file and others: the loops keep to names of their own)
    for way in encode decode; do
        case $way in encode) what="BMP to PCX" ;; *) what="PCX to BMP" ;; esac
        goal pcx "$what (RGB plaid)" "$cp2" le 2 "rgb $way kro" "rgb cp" $rgb
        goal pcx "$what (RGB plaid)" "$ahead" ge 1 "rgb $way kro" "rgb $way gm,rgb $way netpbm" $rgb
        for picture in photo noise; do
            case $picture in photo) name="RGB photograph" ;; *) name="RGB noise" ;; esac
            goal pcx "$what ($name)" "$cp2" le 2 "$picture $way kro" "$picture cp" $rgb
            goal pcx "$what ($name)" "$ahead" ge 1 "$picture $way kro" \
                "$picture $way gm,$picture $way netpbm" $rgb
        done
    done
    goal ps "BMP to PS (RGB plaid)" "$cp2" le 2 "kro" "cp" $rgb
    goal ps "BMP to PS (RGB plaid)" "$ahead" ge 1 "kro" "gm" $rgb
    goal ps "BMP to PS (RGB photograph)" "$cp2" le 2 "photo kro" "photo cp" $rgb
    goal ps "BMP to PS (RGB photograph)" "$ahead" ge 1 "photo kro" "photo gm" $rgb
    goal ps "BMP to PS (palette)" "$cp2" le 2 "palette kro" "palette cp" $pal
    goal ps "BMP to PS (palette)" "$ahead" ge 1 "palette kro" "palette gm" $pal
    goal jpeg "BMP to JPEG" "within 1.1x of cjpeg" le 1.1 "encode kro" "encode cjpeg" $rgb
    goal jpeg "JPEG to BMP" "within 1.1x of djpeg" le 1.1 "decode kro" "decode djpeg" $rgb
    goal cals "bilevel page to CALS (text)" "$cp2" le 2 "encode kro" "cp" $textPair
    goal cals "bilevel page to CALS (text)" "within 1.3x of tiffcp -c g4" le 1.3 "encode kro" "encode tiffcp" $textPair
    goal cals "bilevel page to CALS (text)" "10x faster than gm" ge 10 "encode kro" "encode gm" $textPair
    goal cals "CALS to bilevel page (text)" "$cp2" le 2 "decode kro" "cp" $textPair
    goal cals "CALS to bilevel page (text)" "within 1.3x of tiffcp -c none" le 1.3 "decode kro" "decode tiffcp" $textPair
    goal cals "CALS to bilevel page (text)" "10x faster than gm" ge 10 "decode kro" "decode gm" $textPair
    goal cals "bilevel page to CALS (noise)" "$cp2" le 2 "noise encode kro" "noise cp" $noisePair
    goal cals "bilevel page to CALS (noise)" "$ahead" ge 1 "noise encode kro" "noise encode gm,noise encode tiffcp" $noisePair
    goal cals "CALS to bilevel page (noise)" "$cp2" le 2 "noise decode kro" "noise cp" $noisePair
    goal cals "CALS to bilevel page (noise)" "$ahead" ge 1 "noise decode kro" "noise decode gm,noise decode tiffcp" $noisePair
    goal batch "100 CALS pages to BMP (batch)" "30x faster than gm mogrify" ge 30 "batch kro" "batch gm" $small
    goal batch "one CALS page to BMP" "$ahead" ge 1 "page kro" "page gm" $small
    goal tiff "CALS to TIFF" "within 1.5x of cp of the input" le 1.5 "cals-tiff kro" "cals-tiff cp" -
    goal tiff "CALS to TIFF" "20x faster than gm" ge 20 "cals-tiff kro" "cals-tiff gm" -
    goal tiff "Group 4 TIFF to CALS" "within 1.5x of cp of the input" le 1.5 "tiff-cals kro" "tiff-cals cp" -
    goal tiff "Group 4 TIFF to CALS" "20x faster than gm" ge 20 "tiff-cals kro" "tiff-cals gm" -
    goal pdf "CALS to PDF" "within 1.5x of cp of the input" le 1.5 "cals kro" "cals cp" -
    goal pdf "CALS to PDF" "20x faster than gm" ge 20 "cals kro" "cals gm" -
    for picture in photo page; do
        case $picture in photo) name="RGB photograph" ;; *) name="bilevel page" ;; esac
        goal png "PNG to BMP ($name)" "within 1.3x of pngtopnm" le 1.3 "read-$picture kro" \
            "read-$picture pngtopnm" -
        goal png "BMP to PNG ($name)" "within 1.3x of pnmtopng" le 1.3 "write-$picture kro" \
            "write-$picture pnmtopng" -
    done
    goal scale "resize to half (BMP to BMP)" "5x faster than gm -resize" ge 5 "kro convert 50" "gm convert 50" $((rgb + rgb / 4))
    goal scale "resize to double (BMP to BMP)" "5x faster than gm -resize" ge 5 "kro convert 200" "gm convert 200" $((rgb * 5))
    goal scale "resize to half (in process)" "5x faster than gm -resize" ge 5 "kro-first 50" "gm 50" -
    goal scale "resize to double (in process)" "5x faster than gm -resize" ge 5 "kro-first 200" "gm 200" -
    goal colour "gray" "5x faster than gm" ge 5 "kro gray" "gm gray" $((rgb + pal))
    goal colour "dither (bilevel)" "5x faster than gm" ge 5 "kro bilevel" "gm bilevel" $((rgb + bilevel))
    goal colour "216 colours" "5x faster than gm" ge 5 "kro palette" "gm palette" $((rgb + pal))
    goal hpgl "HP-GL plot to 300 dpi PNG" "5x faster than hp2xx" ge 5 "kro png" "hpgl hp2xx png" -
} >"$goals"
cat "$goals"

[ "$doc" = 1 ] || exit 0
# @FILE@ on a line of its own stands for $work/FILE.md.
awk -v dir="$work" '
    /^@[a-z]+@$/ { f = dir "/" substr($0, 2, length($0) - 2) ".md"
                   while ((getline l < f) > 0) print l; close(f); next }
    { print }' bench/performance.md.in >docs/performance.md
echo "wrote docs/performance.md"
