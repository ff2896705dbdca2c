# Shared by the desktop tests (sourced after `bin` and `session` are set): a
# scratch folder, the processes to end on exit (`pids`), the X session to stop,
# and the helpers that check, wait for and find windows.
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
