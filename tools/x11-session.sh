#!/bin/bash
# Starts a private X session for tests and CI: Xvfb on a free display, a D-Bus
# session bus (for the accessibility tree) and the openbox window manager.
#
#   eval "$(tools/x11-session.sh start)"      # exports DISPLAY, DBUS_SESSION_BUS_ADDRESS, QD_X11_SESSION
#   tools/x11-session.sh start --no-wm        # the same without a window manager
#   tools/x11-session.sh stop [SESSION_DIR]   # ends what start started (default: $QD_X11_SESSION)
#
# start prints shell "export" lines; the first one sets DISPLAY.
set -u

die() { echo "x11-session: $*" >&2; exit 1; }

start() {
    local with_wm=1 with_dbus=1
    for arg in "$@"; do
        case "$arg" in
            --no-wm) with_wm=0 ;;
            --no-dbus) with_dbus=0 ;;
            *) die "unknown option $arg" ;;
        esac
    done
    command -v Xvfb >/dev/null || die "Xvfb is not installed (package xvfb)"
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/qd-x11.XXXXXX") || die "cannot create a session folder"
    : > "$dir/pids"

    # Xvfb picks a free display itself and writes its number to the fd we give it.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$dir/display" \
        >"$dir/xvfb.log" 2>&1 &
    echo $! >> "$dir/pids"
    local n=0
    while [ ! -s "$dir/display" ] && [ $n -lt 100 ]; do sleep 0.05; n=$((n + 1)); done
    [ -s "$dir/display" ] || { stop "$dir"; die "Xvfb did not start (see $dir/xvfb.log)"; }
    export DISPLAY=":$(tr -d '[:space:]' < "$dir/display")"

    local bus=""
    if [ $with_dbus = 1 ] && command -v dbus-daemon >/dev/null; then
        local out
        out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null)
        bus=$(echo "$out" | sed -n 1p)
        local buspid
        buspid=$(echo "$out" | sed -n 2p)
        [ -n "$buspid" ] && echo "$buspid" >> "$dir/pids"
        export DBUS_SESSION_BUS_ADDRESS="$bus"
    fi

    if [ $with_wm = 1 ]; then
        command -v openbox >/dev/null || { stop "$dir"; die "openbox is not installed"; }
        openbox --sm-disable >"$dir/openbox.log" 2>&1 &
        echo $! >> "$dir/pids"
        # Ready when the window manager announces itself on the root window.
        n=0
        until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
            [ $n -ge 200 ] && { stop "$dir"; die "openbox did not start (see $dir/openbox.log)"; }
            sleep 0.05
            n=$((n + 1))
        done
    fi

    echo "export DISPLAY=$DISPLAY"
    [ -n "$bus" ] && echo "export DBUS_SESSION_BUS_ADDRESS='$bus'"
    echo "export QD_X11_SESSION=$dir"
}

stop() {
    local dir="${1:-${QD_X11_SESSION:-}}"
    [ -n "$dir" ] && [ -f "$dir/pids" ] || die "no session folder given"
    # End our processes, last started first, by their recorded ids only.
    local pids
    pids=$(tac "$dir/pids")
    for pid in $pids; do kill "$pid" 2>/dev/null; done
    for pid in $pids; do
        local n=0
        while kill -0 "$pid" 2>/dev/null && [ $n -lt 40 ]; do sleep 0.05; n=$((n + 1)); done
        kill -9 "$pid" 2>/dev/null
    done
    rm -rf "$dir"
}

case "${1:-}" in
    start) shift; start "$@" ;;
    stop) shift; stop "$@" ;;
    *) echo "usage: $0 start [--no-wm] [--no-dbus] | stop [SESSION_DIR]" >&2; exit 2 ;;
esac
