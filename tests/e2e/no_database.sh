#!/usr/bin/env bash
# Starts the real program where there is no database list file and checks
# that it says so at once, naming the file it looked for, in a message box
# and on standard error.
set -u
prog=$1
fail() { echo "FAIL: $*"; [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null; exit 1; }
command -v xdotool >/dev/null || fail "xdotool missing"
[ -n "${DISPLAY:-}" ] || fail "no DISPLAY"

empty=$(mktemp -d)
trap 'rm -rf "$empty"' EXIT
ORVA_RSRC=$empty ORVA_NO_DETACH=1 "$prog" 2>"$empty/stderr" &
pid=$!
box=""
for _ in $(seq 1 300); do # 30 s: slow under a sanitizer on a busy machine
  box=$(xdotool search --onlyvisible --name '^Warning$' 2>/dev/null | head -1)
  [ -n "$box" ] && xwininfo -id "$box" 2>/dev/null | grep -q IsViewable && break
  box=""
  sleep 0.1
done
[ -n "$box" ] || fail "no message about the missing database"
grep -q "$empty/OrvaDB" "$empty/stderr" || fail "the message does not name $empty/OrvaDB"
[ "$(grep -c 'No database found' "$empty/stderr")" -eq 1 ] || fail "said more than once"
kill "$pid"
wait "$pid" 2>/dev/null
echo "no database: ok"
exit 0
