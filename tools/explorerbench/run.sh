#!/bin/bash
# Runs the file list benchmark under Wine in the test environment of a
# build tree (default: build). Arguments after the build tree go to the
# benchmark: the number of files (5000) and of rounds (7).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
shift || true
env=$root/tests/wine/wineenv.sh
"$env" setup "$build" >/dev/null
trap '"$env" cleanup "$build"' EXIT
"$env" run "$build" "$build/bin/ExplorerBench.exe" "$@"
