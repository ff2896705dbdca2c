#!/bin/bash
# qd on a real X desktop (Xvfb, openbox, the trayer tray host), driven from
# outside as a person would: the frame and its tray icon appear, a task added
# by qdctl pops its message window, the Snooze button's accelerator creates the
# snooze task, a second qd raises the first and ends, the close box with
# MinimizeOnCloseRequest hides the frame to the tray, and SIGTERM ends it
# orderly ("Exit Quandrel" logged). Messages go through qdmsg (UseQDMsg's default).
#   qd-desktop-test.sh BIN_DIR X11_SESSION_SCRIPT
set -u
bin=$1
session=$2
. "$(dirname "$0")/desktop-test-lib.sh"
needTools trayer xdotool xwininfo

startSession

startTrayer() {
    trayer --edge bottom --align right --widthtype pixel --width 200 --heighttype pixel --height 32 \
        >>"$work/trayer.log" 2>&1 &
    trayerPid=$!
    pids+=($trayerPid)
    waitfor 10 hasWindow '^panel$'
}
startTrayer || { echo "FAIL: trayer did not start"; exit 1; }
qdctl init >/dev/null || exit 1
qdctl config set LogEvents 1 >/dev/null
# A locked system: Setup asks for the password first.
qdctl config set SysLock 1 >/dev/null
qdctl config set SysPwd Tulip >/dev/null

startQd() {
    "$bin/qd" --data "$data" >>"$work/qd.out" 2>&1 &
    qd=$!
    pids+=($qd)
    waitfor 15 hasWindow '^Quandrel 2000$'
}

check "qd starts and shows its frame" startQd
frame=$(window '^Quandrel 2000$')
# The icon window of qd nested inside trayer's panel; prints its id.
iconInPanel() {
    xwininfo -root -tree | awk '
        /"panel": \("panel" "trayer"\)/ { depth = match($0, /[^ ]/); inside = 1; next }
        inside && match($0, /[^ ]/) <= depth { inside = 0 }
        inside && /\("qd" "Quandrel"\)/ { print $1; found = 1; exit }
        END { exit !found }'
}
trayIconInPanel() { iconInPanel >/dev/null; }
check "its tray icon is embedded in the tray host" waitfor 10 trayIconInPanel
# The splash window came up with the frame and goes by itself.
check "the splash window goes by itself" waitfor 10 bash -c "! xdotool search --name 'Quandrel 2000 starting' >/dev/null 2>&1"

# Hovering the icon shows its tip (a tooltip window of qd appears).
icon=$(iconInPanel)
if [ -n "$icon" ]; then
    visibleQd() { xdotool search --onlyvisible --classname qd 2>/dev/null | wc -l; }
    before=$(visibleQd)
    x=$(xwininfo -id "$icon" | awk '/Absolute upper-left X/ {print $4}')
    y=$(xwininfo -id "$icon" | awk '/Absolute upper-left Y/ {print $4}')
    xdotool mousemove $((x + 8)) $((y + 8))
    tipShown() { [ "$(visibleQd)" -gt "$before" ]; }
    check "hovering the tray icon shows its tip" waitfor 5 tipShown
    xdotool mousemove 10 10
fi

# The tray host ends and another starts (a panel restarted): the icon comes back.
kill "$trayerPid"
wait "$trayerPid" 2>/dev/null
check "the tray host is gone" waitfor 5 bash -c "! xdotool search --name '^panel\$' >/dev/null 2>&1"
check "a new tray host starts" startTrayer
check "the tray icon is embedded in the new tray host" waitfor 10 trayIconInPanel

# A task added by another program while qd runs pops its message window.
due=$(date -d "+3 sec" +%H:%M:%S)
qdctl rec add Schedule "SCH:Description=Standup" "SCH:TaskType=Display Message" "SCH:ScheduleType=Once" \
    "SCH:Date=$(date +%Y-%m-%d)" "SCH:Time=$due" "SCH:Message=Room 4" >/dev/null
check "the due task's message window appears (due $due)" waitfor 12 hasWindow '^Message$'
echo "   shown at $(date +%T)"
msg=$(window '^Message$')
if [ -n "$msg" ]; then
    owner=$(cat /proc/"$(xdotool getwindowpid "$msg")"/comm 2>/dev/null)
    check "shown by the message program qdmsg (window of '$owner')" [ "$owner" = qdmsg ]
    linkGone() { ! qdctl rec list MsgLink | grep -q "ML:ID"; }
    check "which removed its MsgLink record" waitfor 3 linkGone
    xdotool windowactivate --sync "$msg"
    xdotool key --clearmodifiers alt+s
    snoozed() { qdctl rec list Schedule | grep -q "SCH:Category=Snooze"; }
    check "&Snooze creates the snooze task" waitfor 5 snoozed
    check "and closes the message window" waitfor 5 bash -c "! xdotool search --name '^Message$' >/dev/null 2>&1"
fi

# F10 asks the lock password, then opens Setup; Escape closes it.
xdotool windowactivate --sync "$frame"
xdotool key --clearmodifiers F10
check "F10 on a locked system asks for the password" waitfor 5 hasWindow '^Password Required$'
xdotool windowactivate --sync "$(window '^Password Required$')"
xdotool type --delay 30 tULIP
xdotool key --clearmodifiers Return
check "the password in other letters opens Setup" waitfor 5 hasWindow '^Setup$'
xdotool windowactivate --sync "$(window '^Setup$')"
xdotool key --clearmodifiers Escape
check "Escape closes Setup" waitfor 5 bash -c "! xdotool search --name '^Setup$' >/dev/null 2>&1"

# A second qd on the folder raises the first and ends.
xdotool windowminimize --sync "$frame"
hidden() { ! viewable "$frame"; }
check "minimised with a tray icon, the frame leaves the screen" waitfor 5 hidden
"$bin/qd" --data "$data" >"$work/second.out" 2>&1
check "a second qd on the same folder ends with 0" [ $? -eq 0 ]
check "and the first comes back" waitfor 5 viewable "$frame"
check "only one qd runs" [ "$(pgrep -cx qd -P $$)" -le 1 ]

# SIGTERM: the frame closes the orderly way.
kill -TERM "$qd"
wait "$qd"
check "SIGTERM ends qd with 0" [ $? -eq 0 ]
check "and logs Exit Quandrel" grep -q "Exit Quandrel" "$data/QD98Evnt.LOG"

# What qd writes is private: the folder 0700 and every file in it 0600, in the
# folder qdctl made and in one that qd makes itself at its first start.
isPrivate() {
    [ "$(stat -c %a "$1")" = 700 ] && [ -z "$(find "$1" -mindepth 1 -type f ! -perm 600)" ]
}
check "after qd ran, the data folder and its files are private" isPrivate "$data"
fresh=$work/fresh
"$bin/qd" --data "$fresh" >>"$work/qd.out" 2>&1 &
first=$!
pids+=($first)
check "qd starts on a folder it makes" waitfor 15 hasWindow '^Quandrel 2000$'
kill -TERM "$first"
wait "$first"
check "and that folder and its files are private" isPrivate "$fresh"

# With MinimizeOnCloseRequest, the close box hides the frame to the tray.
qdctl config set MinimizeOnCloseRequest 1 >/dev/null
check "qd starts again" startQd
frame=$(window '^Quandrel 2000$')
xdotool windowactivate --sync "$frame"
xdotool key --clearmodifiers alt+F4
check "the close box hides the frame" waitfor 5 hidden
check "and qd goes on running" kill -0 "$qd"
check "with its tray icon" trayIconInPanel
kill -TERM "$qd"
wait "$qd"

if [ $failures -ne 0 ]; then
    echo "--- qd output"
    cat "$work/qd.out"
    exit 1
fi
echo "all desktop checks passed"
