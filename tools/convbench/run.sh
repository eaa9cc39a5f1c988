#!/bin/bash
# Runs the conversion benchmark under Wine in the test environment of a
# build tree (default: build): a scratch prefix with the libraries
# registered. The clips are made once by the ffmpeg command line and kept
# in <build>/convbench. Further arguments go to the benchmark:
#   --pairs N  --only TEXT  --parts cases,info,fixed,memory,series  --skip-psnr
#   --kinds synthetic,footage
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
env=$root/tests/wine/wineenv.sh
command -v ffmpeg >/dev/null || { echo "the ffmpeg command line is missing (tools/deps.sh installs it)"; exit 1; }
mkdir -p "$build/convbench"
"$env" setup "$build" >/dev/null
trap '"$env" cleanup "$build"' EXIT
# The memory part runs single conversions in fresh processes through these.
export CONVBENCH_ENV=$env CONVBENCH_BUILD=$build
"$env" run "$build" "$build/bin/ConvBench.exe" --clips "$build/convbench" "${@:2}"
