#!/bin/bash
# Builds everything and runs every test (native and under Wine). Needs no
# display: the Wine tests start their own Xvfb when DISPLAY is not set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}

"$root/tools/deps.sh"
"$root/tools/configure.sh" "$root" "$build"
cmake --build "$build" -j"$(nproc)"
cd "$build"
ctest --output-on-failure -j"$(nproc)" </dev/null
