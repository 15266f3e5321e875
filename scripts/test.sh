#!/usr/bin/env bash
# Builds everything and runs every test under a private X server (Xvfb).
# Usage: scripts/test.sh [build-dir [cmake args...]]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
scripts/setup.sh "$@"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
exec xvfb-run -a -s "-screen 0 1280x1024x24" ctest --test-dir "$build" --output-on-failure -j2
