# The frame the shell tests share, sourced by each: a scratch folder $work
# removed at exit, and check NAME CONDITION, which counts the outcome and
# names a failure. A test ends with: echo "$pass passed, $fail failed"; [ "$fail" -eq 0 ]
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*" >&2; }
check() { if eval "$2"; then ok; else bad "$1"; fi; }
