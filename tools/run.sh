#!/bin/bash
# Builds Corvane and starts it on the current X display, in a Wine prefix of
# the project's own (never the user's default prefix).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD_DIR:-$root/build}

if [ -z "${DISPLAY:-}" ]; then
    echo "Corvane is a desktop program and needs an X display, but DISPLAY is not set." >&2
    echo "Start it from a graphical session, or under a virtual display: xvfb-run -a $0" >&2
    exit 1
fi

"$root/tools/deps.sh"
"$root/tools/configure.sh" "$root" "$BUILD"
cmake --build "$BUILD" -j"$(nproc)"

export WINEPREFIX=$BUILD/run-prefix
. "$root/tools/winecommon.sh"
wine_prepare_prefix "$BUILD/run-prefix.log"
# The program folder is the build's bin folder: Option.ini, Tips.ini and
# the Skins folder live beside the program.
exec "$WINE64" "$BUILD/bin/Corvane.exe"
