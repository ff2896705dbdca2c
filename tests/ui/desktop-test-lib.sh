# Shared by the desktop tests (sourced after `bin` and `session` are set): a
# scratch folder, the processes to end on exit (`pids`), the X session to stop,
# the helpers that check, wait for and find windows, and those that start the
# session, qd and the key-recording test window and type into windows.
work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    [ -n "${QD_X11_SESSION:-}" ] && "$session" stop "$QD_X11_SESSION"
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
    if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
waitfor() { # waitfor SECONDS COMMAND...: true once the command succeeds
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.1
    done
}
window() { xdotool search --name "$1" 2>/dev/null | head -1; }
hasWindow() { [ -n "$(window "$1")" ]; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
needTools() { # needTools TOOL...: the test is skipped (77) when one is missing
    local tool
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
    done
}
startSession() { # the X session, a private runtime folder, and the data folder `data` for qd and qdctl
    eval "$("$session" start)" || exit 1
    mkdir -m 700 "$work/run"
    export XDG_RUNTIME_DIR=$work/run
    data=$work/data
}
qdctl() { "$bin/qdctl" --data "$data" "$@"; }
startQd() { # qd on the data folder (output in qd.out): `qd` is its process, `frame` its main window
    "$bin/qd" --data "$data" >>"$work/qd.out" 2>&1 &
    qd=$!
    pids+=($qd)
    check "qd starts" waitfor 20 hasWindow '^Quandrel 2000$'
    frame=$(window '^Quandrel 2000$')
}
keys() { # keys WINDOW KEY...: the keys typed into that window, one at a time
    local w=$1 k
    shift
    xdotool windowactivate --sync "$w" 2>/dev/null
    for k in "$@"; do
        xdotool key --clearmodifiers "$k"
        sleep 0.3
    done
}
startProbe() { # startProbe ARG...: the key-recording test window: `probe` is its id, keys.log its log
    "$bin/qd_keyprobe" --log "$work/keys.log" --ready "$work/ready" "$@" >>"$work/probe.out" 2>&1 &
    pids+=($!)
    check "the test window is up" waitfor 20 test -s "$work/ready"
    probe=$(awk 'NR == 1 { print $1 }' "$work/ready")
}
received() { # the text the test window received: the texts of its key presses
    awk '$1 == "P" && NF == 4 { printf "%s", $4 }' "$work/keys.log" | xxd -r -p
}
