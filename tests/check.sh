# The frame the shell tests share, sourced by each: a scratch folder $work
# removed at exit, and check NAME CONDITION, which counts the outcome and
# names a failure. A test ends with: echo "$pass passed, $fail failed"; [ "$fail" -eq 0 ]
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
pass=0 fail=0
ok() { pass=$((pass + 1)); }
bad() { fail=$((fail + 1)); echo "FAIL: $*" >&2; }
check() { if eval "$2"; then ok; else bad "$1"; fi; }
# A check of what only Unix does (signals, links, modes, ulimit, the Cairo
# device's PNG and PDF): left out when the tests drive kro.exe under Wine.
unix_check() {
    _status=$?  # the condition may test the status of the command before
    [ -n "${KRO_WINE:-}" ] && return 0
    _restore() { return "$_status"; }
    _restore
    check "$@"
}
