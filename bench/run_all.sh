#!/bin/sh
# Every benchmark in one run, for the tables of docs/performance.md.
set -eu
cd "$(dirname "$0")/.."
for b in bmp cals scale hpgl; do
    echo "=== $b"
    sh "bench/$b.sh" "$@"
done
