#!/usr/bin/env bash
# Builds the program and starts it on the demo database (made once, in
# demo/), with the simulated board (boardsim) playing the tape in demo/tape.
# Needs an X display ($DISPLAY). Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ ! -f demo/OrvaDB ]; then
  echo "run: making the demo database in demo/ (once)"
  build/tools/orva-demo demo
fi
export ORVA_RSRC="$PWD/demo"
# The board: boardsim on a socket of its own, stopped when the program ends.
mkdir -p demo/tape
sock="${TMPDIR:-/tmp}/orva-board-$$"
build/boardsim/boardsim "$sock" demo/tape --log demo/boardsim.log > "$sock.out" &
sim=$!
trap 'kill "$sim" 2>/dev/null; wait "$sim" 2>/dev/null; rm -f "$sock.out"' EXIT
for _ in $(seq 50); do
  grep -q "boardsim: ready" "$sock.out" 2>/dev/null && break
  sleep 0.1
done
export SCSIVIDEO_CMD="SCSI,dev=$sock"
# The program stays in the foreground, so the board lives as long as it does;
# "-vtr" shows the VTR panel that drives it.
export ORVA_NO_DETACH=1
status=0
build/desktop/orva -vtr "$@" || status=$?
exit "$status"
