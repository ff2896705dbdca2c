#!/bin/bash
# The task editor on a real X desktop (Xvfb, openbox), driven with keystrokes as
# a person would: Ctrl+Shift+M in the frame opens the "Display Message Wizard",
# the message and the time are typed, the steps are walked with their
# accelerators and Finish saves the task; qdctl reads it back and qd performs
# it at its moment (its message window appears).
#   task-editor-desktop-test.sh BIN_DIR X11_SESSION_SCRIPT
set -u
bin=$1
session=$2
command -v xdotool >/dev/null || { echo "SKIP: xdotool is not installed"; exit 77; }

# The task is due 25 seconds after it is typed, today. Close to midnight that
# moment falls on the next day, and a task made after 23:55 starts the next day
# anyway: wait for the new day rather than test a different rule.
secondOfDay=$(( $(date +%s) - $(date -d 'today 00:00' +%s) ))
if [ "$secondOfDay" -ge $(( 23 * 3600 + 54 * 60 )) ]; then
    echo "   $(date +%T): waiting for the new day"
    sleep $(( 86400 - secondOfDay + 30 ))
fi

. "$(dirname "$0")/desktop-test-lib.sh"

startSession
qdctl init >/dev/null || exit 1
qdctl config set LogEvents 1 >/dev/null
# Several users share the folder: the current user is the login name.
qdctl config set MultiUser 1 >/dev/null

startQd

keys "$frame" ctrl+shift+m
check "Ctrl+Shift+M opens the Display Message Wizard" waitfor 10 hasWindow '^Display Message Wizard$'
wizard=$(window '^Display Message Wizard$')
[ -n "$wizard" ] || { cat "$work/qd.out"; exit 1; }

# The message, then the next step: the rule "Once" and a time 25 seconds ahead.
keys "$wizard" alt+y
xdotool type --delay 40 "Stretch your legs"
due=$(date -d "+25 sec" +%H:%M:%S)
keys "$wizard" alt+n alt+y O alt+i ctrl+a
xdotool type --delay 40 "$due"
keys "$wizard" Tab alt+n alt+n alt+n alt+f
check "Finish closes the wizard" waitfor 10 bash -c "! xdotool search --name '^Display Message Wizard\$' >/dev/null 2>&1"

id=$(qdctl rec list Schedule | grep "SCH:Description=Stretch your legs" | sed -n 's/^SCH:ID=\([0-9]*\) .*/\1/p' | head -1)
check "the list holds the new task, described by its message (the field's rule)" [ -n "$id" ]
record=$(qdctl rec get Schedule "SCH:ID=${id:-0}" 2>&1)
has() { echo "$record" | grep -qx "$1"; }
IFS=: read -r h m s <<<"$due"
dueValue=$(( (10#$h * 3600 + 10#$m * 60 + 10#$s) * 100 + 1 ))
check "qdctl reads it back as a message task" has "SCH:TaskType: Display Message"
check "  happening once" has "SCH:ScheduleType: Once"
check "  due today at $due" bash -c 'has() { echo "$1" | grep -qx "$2"; }; has "$1" "SCH:Time: $2"' _ "$record" "$dueValue"
check "  with its message" bash -c 'echo "$1" | grep -q "Stretch your legs"' _ "$record"
check "  in category General" has "SCH:Category: General"
check "  enabled" has "SCH:Disabled: 0"
check "  saved by the login user" has "SCH:NetworkUser: $(id -un)"
check "  with its original ID" has "SCH:OriginalID: $id"

check "qd performs it at its moment: the message window appears" waitfor 60 hasWindow '^Message$'
echo "   due $due, shown at $(date +%T)"

kill -TERM "$qd"
wait "$qd"
if [ $failures -ne 0 ]; then
    qdctl rec get Schedule "SCH:ID=${id:-0}" | grep -E "SCH:(Date|Time|Disabled|Completed|User|Warn|SkipNextTime):"
    qdctl config get StartUpActive
    echo "--- event log"
    cat "$data/QD98Evnt.LOG" 2>/dev/null | tail -20
    echo "--- qd output"
    cat "$work/qd.out"
    exit 1
fi
echo "all editor desktop checks passed"
