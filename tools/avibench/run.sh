#!/bin/bash
# Runs the AVI benchmark under Wine in the test environment of a build
# tree (default: build): a scratch prefix with the libraries registered.
# Further arguments name the parts to run: graph control direct peak batch.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
env=$root/tests/wine/wineenv.sh
"$env" setup "$build" >/dev/null
trap '"$env" cleanup "$build"' EXIT
"$env" run "$build" "$build/bin/AviBench.exe" "${@:2}"
