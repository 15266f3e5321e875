#!/usr/bin/env bash
# Builds the program and starts it on the demo database (made once, in demo/).
# Needs an X display ($DISPLAY).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
if [ -x build/tools/orva-demo/orva-demo ] || [ -x build/tools/orva-demo ]; then
  demo_tool=$(ls build/tools/orva-demo 2>/dev/null | head -1)
fi
if [ -x build/tools/orva-demo ] && [ ! -f demo/OrvaDB ]; then
  build/tools/orva-demo demo
fi
[ -f demo/OrvaDB ] && export ORVA_RSRC="$PWD/demo"
exec build/desktop/orva "$@"
