#!/bin/bash
# The Wine test environment of one build tree: a scratch prefix, the
# project's libraries registered in it, and an X display.
#
#   wineenv.sh setup   <build dir>   new prefix, registration, Xvfb if needed
#   wineenv.sh run     <build dir> <program> [args]   run a winelib program
#   wineenv.sh cleanup <build dir>   stop the prefix's wineserver and our Xvfb
#
# Only processes this script started are stopped, by their process ids.
set -u

cmd=${1:?usage: wineenv.sh setup|run|cleanup <build dir> ...}
BUILD=$(cd "${2:?build dir}" && pwd)
shift 2

state_dir=$BUILD/wine
state=$state_dir/state.env
export WINEPREFIX=$state_dir/prefix
# The prefix's user folders (desktop, documents, the trash of deletions
# with undo) link into HOME: a scratch one, never the real user's.
export HOME=$state_dir/home
. "$(dirname "$0")/../../tools/winecommon.sh"

start_xvfb() {
    command -v Xvfb >/dev/null || wine_die "Xvfb is not installed"
    local fdfile=$state_dir/xvfb.display
    rm -f "$fdfile"
    # -displayfd picks a free display number and reports it when ready.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$fdfile" >"$state_dir/xvfb.log" 2>&1 </dev/null &
    local pid=$!
    for _ in $(seq 1 100); do
        if [ -s "$fdfile" ]; then
            echo "XVFB_PID=$pid" >>"$state"
            echo "DISPLAY=:$(tr -d '[:space:]' <"$fdfile")" >>"$state"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || wine_die "Xvfb did not start (see $state_dir/xvfb.log)"
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wine_die "Xvfb did not report a display"
}

load_state() {
    [ -f "$state" ] || wine_die "no Wine test environment in $BUILD (run setup first)"
    . "$state"
    export DISPLAY
}

case "$cmd" in
setup)
    [ -f "$state" ] && "$0" cleanup "$BUILD"
    # A fresh prefix (and home) for every test run.
    rm -rf "$WINEPREFIX" "$HOME"
    mkdir -p "$state_dir" "$HOME"
    # Scratch folders that a killed test left in /tmp: no test runs for an
    # hour, so one older than that belongs to no running test.
    find /tmp -maxdepth 1 -type d -name 'corvane-*-??????' -user "$(id -u)" -mmin +60 \
        -exec rm -rf {} + 2>/dev/null
    : >"$state"
    if [ -n "${DISPLAY:-}" ]; then
        echo "DISPLAY=$DISPLAY" >>"$state"
    else
        start_xvfb
    fi
    load_state
    echo "prefix $WINEPREFIX, display $DISPLAY"
    # A persistent server keeps the many short test programs fast and the
    # session's services running from here on. It needs the prefix's
    # folder to exist.
    mkdir -p "$WINEPREFIX"
    setsid "$WINESERVER" -p >/dev/null 2>&1 </dev/null || wine_die "wineserver did not start"
    wine_prepare_prefix "$state_dir/wineboot.log" test
    echo "registered: $REGISTER_DLLS"
    ;;
run)
    load_state
    prog=${1:?program}
    shift
    # The program's output goes through a file: a process it starts that
    # outlives it (Wine starts the desktop on demand) would otherwise hold
    # ctest's pipe open until the test's timeout. A killed run leaves its
    # file under wine/logs.
    mkdir -p "$state_dir/logs"
    log=$state_dir/logs/$(basename "$prog").$$.log
    "$WINE64" "$prog" "$@" >"$log" 2>&1
    rc=$?
    cat "$log"
    rm -f "$log"
    exit $rc
    ;;
cleanup)
    if [ -f "$state" ]; then
        . "$state"
        [ -d "$WINEPREFIX" ] && "$WINESERVER" -k 2>/dev/null
        if [ -n "${XVFB_PID:-}" ]; then
            kill "$XVFB_PID" 2>/dev/null
            for _ in $(seq 1 50); do kill -0 "$XVFB_PID" 2>/dev/null || break; sleep 0.1; done
        fi
        rm -f "$state"
    fi
    ;;
*)
    wine_die "unknown command $cmd"
    ;;
esac
