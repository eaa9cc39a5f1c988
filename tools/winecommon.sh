# Shared by the run and test scripts: a Wine prefix of the project's own
# and the registration of the project's libraries in it. Source it; it
# expects BUILD (the build tree) and WINEPREFIX to be set.

WINE64=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=/usr/lib/wine/wineserver

export WINEDLLPATH=$BUILD/bin
export WINEDEBUG=${WINEDEBUG:--all}
# No mono or gecko installer prompts in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# Libraries registered in every prefix, in order.
REGISTER_DLLS="mediaplat.dll Tromvex.dll"

wine_die() { echo "$(basename "$0"): $*" >&2; exit 1; }

wine_winpath() { echo "Z:${1//\//\\}"; }

# Creates the prefix (once) and registers the libraries (every time: the
# build tree may have moved). With "test", the prefix is set up for a
# display without a window manager (Xvfb): no window-manager frames, and no
# waiting for a window manager that never answers (hiding a managed window
# otherwise takes two seconds).
wine_prepare_prefix() {
    local log=$1 kind=${2:-}
    [ -x "$WINE64" ] || wine_die "$WINE64 not found: install wine64"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        "$WINE64" wineboot -i >"$log" 2>&1 || wine_die "wineboot failed (see $log)"
        if [ "$kind" = test ]; then
            "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
            "$WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
            # Xvfb shows nothing that Wine draws through OpenGL: the video
            # renderers of the media player draw through GDI instead.
            "$WINE64" reg add 'HKCU\Software\Wine\Direct3D' /v renderer /t REG_SZ /d gdi /f >/dev/null 2>&1
        fi
    fi
    local dll
    for dll in $REGISTER_DLLS; do
        [ -f "$BUILD/bin/$dll" ] || wine_die "$BUILD/bin/$dll is missing: build first"
        "$WINE64" regsvr32 /s "$(wine_winpath "$BUILD/bin/$dll")" || wine_die "registering $dll failed"
    done
}
