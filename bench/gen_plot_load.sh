#!/bin/sh
# Writes a heavy HP-GL plot to stdout for the memory and speed runs of the
# full look: KIND adaptive (N polylines of five segments under the adaptive
# line type LT-2) or labels (N labels of eight characters), default 200,000.
# Usage: sh bench/gen_plot_load.sh KIND [N]
kind=${1:?adaptive or labels}
n=${2:-200000}
awk -v n="$n" -v kind="$kind" 'BEGIN {
    srand(7)
    print "IN;SP1;SI0.1,0.15;"
    if (kind == "adaptive") print "LT-2,1;"
    for (i = 0; i < n; i++) {
        x = int(rand() * 9000) + 1000; y = int(rand() * 9000) + 1000
        if (kind == "adaptive")
            printf "PU%d,%d;PD%d,%d,%d,%d,%d,%d,%d,%d,%d,%d;\n", x, y, x + 370, y + 110,
                   x + 50, y + 610, x + 400, y + 700, x + 20, y + 900, x + 300, y + 950
        else
            printf "PA%d,%d;LBKRO%05d\003\n", x, y, i % 100000
    }
    print "PU;SP0;"
}'
