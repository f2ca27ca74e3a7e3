#!/bin/sh
# Compares the dynamic symbols that libkro.so (or the exports of kro.dll) defines with the names of the
# module-definition files (exports, then exports.extra), less the names
# listed as not built yet. Any difference fails.
# Usage: check_exports.sh LIB PENDING DEF...
set -eu
lib=$1 pending=$2
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
case $lib in
*.dll) # the PE export table, read by the cross tools
    ${OBJDUMP:-i686-w64-mingw32-objdump} -p "$lib" |
        awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && /^\t\[/ { print $3 } on && !NF { on = 0 }' |
        sort >"$tmp/have" ;;
*) nm -D --defined-only "$lib" | awk '$2 != "A" { print $3 }' | sort >"$tmp/have" ;;
esac
for def in "$@"; do
    sed -e 's/;.*//' "$def" | awk '/^[ \t]*EXPORTS/ { on = 1; next } on && NF { print $1 }'
done | sort >"$tmp/all"
grep -v '^#' "$pending" | awk 'NF { print $1 }' | sort >"$tmp/pending"
comm -23 "$tmp/all" "$tmp/pending" >"$tmp/want"
if ! diff -u "$tmp/want" "$tmp/have"; then
    echo "libkro.so exports differ from the exports files (- missing, + leaked)" >&2
    exit 1
fi
echo "libkro.so exports $(wc -l <"$tmp/have") names, as listed"
