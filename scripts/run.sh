#!/usr/bin/env bash
# Builds the program and starts it on the demo database (made once, in
# demo/). Needs an X display ($DISPLAY). Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ ! -f demo/OrvaDB ]; then
  echo "run: making the demo database in demo/ (once)"
  build/tools/orva-demo demo
fi
export ORVA_RSRC="$PWD/demo"
exec build/desktop/orva "$@"
