#!/bin/bash
# Runs the skinned-frame benchmark under Wine in the test environment of a
# build tree (default: build): a scratch prefix with the libraries
# registered and a display of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cmake --build "$build" --target FrameBench -j4 >/dev/null
env=$root/tests/wine/wineenv.sh
"$env" setup "$build" >/dev/null
trap '"$env" cleanup "$build"' EXIT
"$env" run "$build" "$build/bin/FrameBench.exe"
