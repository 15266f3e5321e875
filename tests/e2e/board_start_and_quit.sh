#!/usr/bin/env bash
# Starts and quits the real program three ways: with no board, with a board
# socket nobody listens on, and with the simulated board, whose log must show
# the video mode and sync set at start-up and the VTR stopped and the
# connection closed at quit.
set -u
prog=$1
boardsim=$2
here=$(dirname "$0")
fail() { echo "FAIL: $*"; [ -n "${sim:-}" ] && kill "$sim" 2>/dev/null; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

SCSIVIDEO_CMD="SCSI,dev=$tmp/none" "$here/start_and_quit.sh" "$prog" >/dev/null || fail "no board"

# A socket file whose listener has gone.
python3 -c "import socket,sys; s=socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET); s.bind(sys.argv[1])" "$tmp/dead"
SCSIVIDEO_CMD="SCSI,dev=$tmp/dead" "$here/start_and_quit.sh" "$prog" >/dev/null || fail "dead socket"

mkdir "$tmp/tape"
"$boardsim" "$tmp/sock" "$tmp/tape" --log "$tmp/log" > "$tmp/out" &
sim=$!
for _ in $(seq 300); do grep -q "boardsim: ready" "$tmp/out" && break; sleep 0.1; done
SCSIVIDEO_CMD="SCSI,dev=$tmp/sock" "$here/start_and_quit.sh" "$prog" >/dev/null || fail "with boardsim"
kill "$sim"
wait "$sim"
grep -q "^C 2 1 0$" "$tmp/log" || fail "video mode not set"
grep -q "^C 2 14 0$" "$tmp/log" || fail "sync not set"
grep -q "^VTR stop " "$tmp/log" || fail "VTR not stopped at quit"
[ "$(tail -1 "$tmp/log")" = "CLOSE" ] || fail "connection not closed last"
echo "board start and quit: ok"
