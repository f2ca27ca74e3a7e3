#!/bin/sh
# Installs what building and testing KRO needs on Debian 12, as root.
# Runs apt-get only when something is missing.
set -eu
packages="g++ cmake make pkg-config libtiff-dev libjpeg62-turbo-dev libgtest-dev \
libbenchmark-dev netpbm libtiff-tools graphicsmagick x11-common ghostscript hp2xx clang \
libclang-rt-14-dev libjpeg-turbo-progs libcairo2-dev libpng-dev fonts-dejavu-core hershey-fonts-data \
zlib1g-dev poppler-utils imagemagick gnuplot-nox plotutils pstoedit"
missing=""
for p in $packages; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    if [ "$(id -u)" -ne 0 ]; then
        echo "setup: run as root, or install:$missing" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
