#!/bin/bash
# The Wine test environment of one build tree: a scratch prefix, the
# project's libraries registered in it, and an X display.
#
#   wineenv.sh setup   <build dir>   new prefix, registration, Xvfb if needed
#   wineenv.sh run     <build dir> <program> [args]   run a winelib program
#   wineenv.sh apart   <build dir> <program> [args]   run it in a copy of the
#                      prefix of its own, with its own wineserver, X display
#                      and HOME, all stopped and removed afterwards
#   wineenv.sh cleanup <build dir>   stop the prefix's wineserver and our Xvfb
#
# Only processes this script started are stopped, by their process ids.
#
# The tests make their scratch folders in CORVANE_SCRATCH, a folder of the
# run's own whose parents stay unchanged while tests run: the shell's folder
# browser never finds a folder once a folder on the way to it was modified
# (something made or removed in it) after the browser read it. In /tmp, or
# beside other runs' folders, that happened under load.
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

# Starts an Xvfb and appends its XVFB_PID and DISPLAY to the state file $1;
# its display number and log go into the folder $2.
start_xvfb() {
    local state_file=$1 dir=$2
    command -v Xvfb >/dev/null || wine_die "Xvfb is not installed"
    local fdfile=$dir/xvfb.display
    rm -f "$fdfile"
    # -displayfd picks a free display number and reports it when ready.
    setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
        3>"$fdfile" >"$dir/xvfb.log" 2>&1 </dev/null &
    local pid=$!
    for _ in $(seq 1 100); do
        if [ -s "$fdfile" ]; then
            echo "XVFB_PID=$pid" >>"$state_file"
            echo "DISPLAY=:$(tr -d '[:space:]' <"$fdfile")" >>"$state_file"
            return 0
        fi
        kill -0 "$pid" 2>/dev/null || wine_die "Xvfb did not start (see $dir/xvfb.log)"
        sleep 0.1
    done
    kill "$pid" 2>/dev/null
    wine_die "Xvfb did not report a display"
}

stop_xvfb() {
    local pid=$1
    [ -n "$pid" ] || return 0
    # An id recorded earlier may by now name another process.
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = Xvfb ] || return 0
    kill "$pid" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
}

# Copies a prefix. The modules and national language tables are never
# written by a test, so the copy shares them as hard links (most of the
# prefix's 700 MB); every other file (registry, ini files, manifests) is a
# copy of its own.
copy_prefix() {
    local from=$1 to=$2
    cp -al "$from" "$to" || return 1
    (cd "$from" && find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.nls' -o -iname '*.sys' \
        -o -iname '*.drv' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' -o -iname '*.ds' \
        -o -iname '*.tlb' -o -iname '*.com' -o -iname '*.msstyles' \) -print0 |
        xargs -0 -r cp -p --parents --remove-destination -t "$to")
}

# The wineserver of a prefix keeps its socket in a folder named after the
# prefix folder's device and inode, under a folder in /tmp that the prefix's
# "wineserver" file names (or /tmp/.wine-<uid>).
server_dir() {
    local dev ino root
    read -r dev ino < <(stat -c '%d %i' "$1" 2>/dev/null) || return 1
    root=.wine-$(id -u)
    [ -r "$1/wineserver" ] && root=$(tr -d '\0\n' <"$1/wineserver")
    case "$root" in "" | . | .. | */*) return 1 ;; esac
    printf '/tmp/%s/server-%x-%x\n' "$root" "$dev" "$ino"
}

# Stops and removes one copy made by "apart": its wineserver (and with it
# every program left running in it), its Xvfb and its files. Safe to call
# more than once.
remove_apart() {
    local dir=$1
    [ -d "$dir" ] || return 0
    local XVFB_PID= SCRATCH=
    [ -f "$dir/state.env" ] && . "$dir/state.env"
    [ -n "$SCRATCH" ] && rm -rf "$SCRATCH"
    if [ -d "$dir/prefix" ]; then
        local sdir
        sdir=$(server_dir "$dir/prefix")
        WINEPREFIX=$dir/prefix "$WINESERVER" -k 2>/dev/null
        WINEPREFIX=$dir/prefix "$WINESERVER" -w 2>/dev/null
        [ -n "$sdir" ] && rm -rf "$sdir" && rmdir "$(dirname "$sdir")" 2>/dev/null
    fi
    stop_xvfb "$XVFB_PID"
    # A second call (the reaper's, when the folder outlived the first) must
    # not stop that Xvfb again: its id may belong to another process by then.
    rm -f "$dir/state.env"
    # A server that is being stopped may still write the registry out.
    for _ in $(seq 1 20); do
        rm -rf "$dir" 2>/dev/null
        [ -d "$dir" ] || return 0
        sleep 0.5
    done
}

# Claims a scratch folder for one run and prints its path: a slot made at
# setup, so that nothing is made or removed beside the slots while tests
# run; a slot is taken by making the folder "run" in it.
claim_scratch() {
    local n
    for n in $(seq 1 64); do
        if mkdir "$state_dir/scratch/$n/run" 2>/dev/null; then
            echo "$state_dir/scratch/$n/run"
            return 0
        fi
    done
    mktemp -d "$state_dir/scratch/run.XXXXXX"
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
    rm -rf "$WINEPREFIX" "$HOME" "$state_dir/template" "$state_dir/scratch"
    mkdir -p "$state_dir" "$HOME"
    for n in $(seq 1 64); do mkdir -p "$state_dir/scratch/$n"; done
    # Scratch folders that a killed test left in /tmp: no test runs for an
    # hour, so one older than that belongs to no running test.
    find /tmp -maxdepth 1 -type d -name 'corvane-*-??????' -user "$(id -u)" -mmin +60 \
        -exec rm -rf {} + 2>/dev/null
    : >"$state"
    if [ -n "${DISPLAY:-}" ]; then
        echo "DISPLAY=$DISPLAY" >>"$state"
    else
        start_xvfb "$state" "$state_dir"
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
    # The template of the tests that run apart: the prefix as registered,
    # written out by stopping its server first (the server keeps the
    # registry in memory).
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    mkdir -p "$state_dir/template"
    copy_prefix "$WINEPREFIX" "$state_dir/template/prefix" || wine_die "copying the prefix failed"
    cp -a "$HOME" "$state_dir/template/home"
    setsid "$WINESERVER" -p >/dev/null 2>&1 </dev/null || wine_die "wineserver did not start"
    ;;
run)
    load_state
    prog=${1:?program}
    shift
    CORVANE_SCRATCH=$(claim_scratch) || wine_die "no scratch folder"
    export CORVANE_SCRATCH
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
    rm -rf "$CORVANE_SCRATCH"
    exit $rc
    ;;
apart)
    # For tests that watch activation and focus, click by screen position or
    # change the registration: with a server, desktop and display of their
    # own they run beside every other test.
    load_state
    prog=${1:?program}
    shift
    [ -d "$state_dir/template/prefix" ] || wine_die "no prefix to copy in $BUILD (run setup first)"
    mkdir -p "$state_dir/apart" "$state_dir/logs"
    dir=$(mktemp -d "$state_dir/apart/$(basename "$prog" .exe).XXXXXX")
    # However this script ends, even killed at a test's timeout, the reaper
    # removes the copy and stops what runs in it once the script is gone.
    setsid "$0" reap "$BUILD" "$dir" $$ </dev/null >/dev/null 2>&1 &
    copy_prefix "$state_dir/template/prefix" "$dir/prefix" || wine_die "copying the prefix failed"
    cp -a "$state_dir/template/home" "$dir/home"
    # The user folders that link into the shared HOME link into this one.
    for link in "$dir"/prefix/drive_c/users/*/*; do
        [ -L "$link" ] || continue
        target=$(readlink "$link")
        case "$target" in
        "$HOME" | "$HOME"/*) ln -sfn "$dir/home${target#"$HOME"}" "$link" ;;
        esac
    done
    : >"$dir/state.env"
    scratch=$(claim_scratch) || wine_die "no scratch folder"
    echo "SCRATCH=$scratch" >>"$dir/state.env"
    start_xvfb "$dir/state.env" "$dir"
    . "$dir/state.env"
    export DISPLAY WINEPREFIX=$dir/prefix HOME=$dir/home CORVANE_SCRATCH=$scratch
    log=$state_dir/logs/$(basename "$prog").$$.log
    "$WINE64" "$prog" "$@" >"$log" 2>&1
    rc=$?
    cat "$log"
    rm -f "$log"
    remove_apart "$dir"
    exit $rc
    ;;
reap)
    dir=${1:?folder} pid=${2:?process id}
    while kill -0 "$pid" 2>/dev/null; do sleep 1; done
    remove_apart "$dir"
    ;;
cleanup)
    if [ -f "$state" ]; then
        . "$state"
        if [ -d "$WINEPREFIX" ]; then
            sdir=$(server_dir "$WINEPREFIX")
            "$WINESERVER" -k 2>/dev/null
            "$WINESERVER" -w 2>/dev/null
            [ -n "$sdir" ] && rm -rf "$sdir" && rmdir "$(dirname "$sdir")" 2>/dev/null
        fi
        stop_xvfb "${XVFB_PID:-}"
        rm -f "$state"
    fi
    for dir in "$state_dir"/apart/*; do
        remove_apart "$dir"
    done
    ;;
*)
    wine_die "unknown command $cmd"
    ;;
esac
