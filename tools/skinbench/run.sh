#!/bin/bash
# Builds and runs the skin archive benchmark of a build tree (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
cmake --build "$build" --target skinbench -j4 >/dev/null
"$build/tools/skinbench/skinbench"
