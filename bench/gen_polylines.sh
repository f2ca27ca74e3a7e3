#!/bin/sh
# Writes an HP-GL plot of N polylines (default 200,000, about 7 MB) to stdout:
# a pen-up move and a pen-down line of two segments each, four-digit
# coordinates, one polyline a line.
n=${1:-200000}
awk -v n="$n" 'BEGIN {
    srand(42)
    print "IN;SP1;"
    for (i = 0; i < n; i++) {
        x = int(rand() * 9000) + 1000; y = int(rand() * 9000) + 1000
        printf "PU%d,%d;PD%d,%d,%d,%d;\n", x, y, x + 37, y + 11, x + 5, y + 61
    }
    print "PU;SP0;"
}'
