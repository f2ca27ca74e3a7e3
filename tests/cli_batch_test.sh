#!/bin/sh
# kro batch end to end: a job file with bad files mixed in, several processes,
# the report, the progress line, and a job file split over several runners.
# Usage: cli_batch_test.sh KRO DATA_DIR
set -u
kro=$1 data=$(cd "$2" && pwd)
. "$(dirname "$0")/check.sh"

# A job line: input, outdata, outfile, scale, directory; the other 20 words "-".
job() {
    echo "$1 - - - - $2 $3 - - - - $4 - $5 - - - - - - - - - - -"
}
src=$data/bmp/im-v5-8bit.bmp
mkdir "$work/out" "$work/in"
for i in 1 2 3 4 5 6; do cp "$src" "$work/in/good$i.bmp"; done
{
    echo "# good and bad jobs, mixed"
    job "$work/in/good1.bmp" - "$work/out/a.bmp" - -
    job "$data/bad/bmp-truncated-rows.bmp" - "$work/out/bad1.bmp" - -
    job "$work/in/good2.bmp" cal - 2 "$work/out"
    echo
    job "$data/bad/cals-header-only.cal" - "$work/out/bad2.bmp" - -
    job "$work/in/good3.bmp" - "$work/out/c.ps" - -
    job "$work/in/missing.bmp" - "$work/out/bad3.bmp" - -
    job "$work/in/good4.bmp" pcx - - "$work/out"
    job "$work/in/good5.bmp" - "$work/out/bad4.bmp" 0 -
    echo "$work/in/good6.bmp - - too few words"
    job "relative.bmp" - "$work/out/bad5.bmp" - -
    job "$work/in/good6.bmp" - - - -
} >"$work/jobs"
good="a.bmp c.ps good2.cal good4.pcx"

for n in 1 3; do
    rm -rf "$work/out" && mkdir "$work/out"
    "$kro" batch "$work/jobs" --jobs $n --report "$work/report.$n" >"$work/sum" 2>"$work/err"
    check "--jobs $n: exit 1 when a job failed" '[ $? -eq 1 ]'
    check "--jobs $n: the good outputs, nothing else (no partial file)" \
        '[ "$(ls -A "$work/out" | tr "\n" " ")" = "$good " ]'
    check "--jobs $n: summary" 'grep -q "^11 jobs: 4 succeeded, 7 failed in " "$work/sum"'
    check "--jobs $n: one report line per job" '[ "$(wc -l <"$work/report.$n")" -eq 11 ] && [ "$(grep -c "\"ok\":true" "$work/report.$n")" -eq 4 ]'
    check "--jobs $n: failures named by file and status" \
        'grep -q "bmp-truncated-rows.bmp: .*(status 1012" "$work/err" && grep -q "jobs: line 11 holds 6 words, not 25 (status 1012140095)" "$work/err" && grep -q "missing.bmp: No such file" "$work/err"'
    check "--jobs $n: no progress line off a terminal" '! grep -q "jobs/s" "$work/err"'
done
sort "$work/report.1" | sed 's/"seconds":[0-9.]*//' >"$work/r1"
sort "$work/report.3" | sed 's/"seconds":[0-9.]*//' >"$work/r3"
check "the report does not depend on --jobs but for order" 'cmp -s "$work/r1" "$work/r3"'
check "report lines name line, input, output and exit" \
    'grep -q "^{\"line\":3,\"input\":\"$data/bad/bmp-truncated-rows.bmp\",\"output\":\"$work/out/bad1.bmp\",\"ok\":false,\"exit\":1," "$work/report.1"'
check "-scale on a job line applies" '"$kro" info "$work/out/good2.cal" | grep -q "size: *26 x 14 pixels"'

# A terminal gets the progress line.
if script -qec "true" /dev/null >/dev/null 2>&1; then
    rm -rf "$work/out" && mkdir "$work/out"
    script -qec "'$kro' batch '$work/jobs' --jobs 2" /dev/null >"$work/tty" 2>&1
    check "progress on a terminal" 'grep -q "11/11 done, 7 failed, .* jobs/s, 0 s left" "$work/tty"'
fi

# Only good jobs: exit 0, quiet.
grep -v -e bad -e "too few" -e missing -e relative -e "^#" -e "^$" "$work/jobs" |
    grep -v " - - - - - - - - - - - - - - - - - - - - - - - -$" >"$work/good-jobs"
rm -rf "$work/out" && mkdir "$work/out"
"$kro" batch "$work/good-jobs" --jobs=2 >/dev/null 2>"$work/err"
check "good jobs only: exit 0, nothing on stderr" '[ $? -eq 0 ] && [ ! -s "$work/err" ]'
ls "$work/out" >"$work/whole"

# Split over several runners (the README's recipe, with GNU parallel when it
# is there): the same outputs as one run.
rm -rf "$work/out" && mkdir "$work/out"
(cd "$work" && split -n l/3 good-jobs part.)
if command -v parallel >/dev/null 2>&1; then
    ls "$work"/part.* | parallel --sshlogin : "'$kro' batch {} --report {}.json" >/dev/null
else
    ls "$work"/part.* | xargs -P 3 -I{} "$kro" batch {} --report {}.json >/dev/null
fi
check "split runs: exit 0" '[ $? -eq 0 ]'
check "split runs: the outputs of one run" '[ "$(ls "$work/out")" = "$(cat "$work/whole")" ]'
check "split runs: every job reported once" '[ "$(cat "$work"/part.*.json | wc -l)" -eq "$(wc -l <"$work/good-jobs")" ]'

# A job killed midway (its input a FIFO nobody writes) leaves no temporary
# file behind and fails alone.
rm -rf "$work/out" && mkdir "$work/out"
mkfifo "$work/in/stuck.bmp"
{
    job "$work/in/stuck.bmp" - "$work/out/stuck.bmp" - -
    job "$work/in/good1.bmp" - "$work/out/fine.bmp" - -
} >"$work/kill-jobs"
"$kro" batch "$work/kill-jobs" --jobs 2 --report "$work/kill.json" >/dev/null 2>"$work/err" &
batch=$!
i=0
while [ $i -lt 100 ] && ! ls -A "$work/out" | grep -q "^\.stuck"; do sleep 0.1; i=$((i + 1)); done
for child in $(ps -o pid= --ppid $batch); do kill "$child"; done
wait $batch
unix_check "a killed job fails the batch" '[ $? -eq 1 ] && grep -q "killed by signal" "$work/err"'
unix_check "a killed job leaves nothing; the other is written" '[ "$(ls -A "$work/out")" = "fine.bmp" ]'
unix_check "a killed job is reported" 'grep -q "\"output\":\"$work/out/stuck.bmp\",\"ok\":false" "$work/kill.json"'

# Plots in a job file are drawn, as convert draws them; a broken plot fails
# alone and leaves nothing.
rm -rf "$work/out" && mkdir "$work/out"
printf 'IN;SP1;PA0,0;PD1000,0,1000,1000;PU;\n' >"$work/in/square.plt"
{
    job "$work/in/square.plt" png - - "$work/out"
    job "$work/in/square.plt" - "$work/out/square.cal" - -
    job "$data/bad/hpgl-binary-junk.plt" - "$work/out/junk.png" - -
} >"$work/plot-jobs"
"$kro" batch "$work/plot-jobs" >/dev/null 2>"$work/err"
check "plot jobs: exit 1 for the junk plot" '[ $? -eq 1 ] && grep -q "hpgl-binary-junk.plt" "$work/err"'
unix_check "plot jobs: PNG and CALS pages written, nothing else" \
    '[ "$(ls -A "$work/out" | tr "\n" " ")" = "square.cal square.png " ]'
check "plot jobs: the CALS page is a bilevel picture" '"$kro" info "$work/out/square.cal" | grep -q "bilevel"'

# Usage errors.
for args in "" "--jobs 0 $work/jobs" "--jobs" "$work/jobs $work/jobs" "$work/jobs -dpi 300" "$work/jobs --frobnicate"; do
    # shellcheck disable=SC2086
    "$kro" batch $args >/dev/null 2>&1
    check "usage error: batch $args" '[ $? -eq 2 ]'
done
"$kro" batch "$work/nothing" 2>"$work/err"
check "a missing job file" '[ $? -eq 1 ] && grep -q "nothing: No such file" "$work/err"'

echo "$pass passed, $fail failed"
[ "$fail" -eq 0 ]
