#!/bin/bash
# Configures the build folder: configure.sh <source> <build>. A new folder
# is made for Ninja, which starts each compile as soon as its own inputs
# are there instead of waiting for whole targets as make does. A folder
# configured earlier keeps its generator: CMake cannot change it in place.
set -euo pipefail
src=$1
build=$2
generator=()
if [ -z "${CMAKE_GENERATOR:-}" ] && [ ! -f "$build/CMakeCache.txt" ] &&
    command -v ninja >/dev/null 2>&1; then
    generator=(-G Ninja)
fi
exec cmake "${generator[@]}" -S "$src" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
