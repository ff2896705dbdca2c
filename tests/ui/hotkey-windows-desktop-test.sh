#!/bin/bash
# The hot-key and clipboard windows on a real X desktop (Xvfb, openbox) with qd
# running, driven from outside with keystrokes as a person would:
#  - Ctrl+K opens the hot-key list, Insert the form; the combination is
#    captured by pressing it, the description and the text are typed, Enter
#    saves; the new hot key is registered at once and typing it types the text
#    into another window;
#  - a text copied in another program shows up in "Clipboard Manager", whose
#    search finds it, "Toggle Save" keeps it and "Copy to Clipboard" puts it
#    back on the clipboard after something else was copied.
#   hotkey-windows-desktop-test.sh BIN_DIR X11_SESSION_SCRIPT
set -u
bin=$1
session=$2
. "$(dirname "$0")/desktop-test-lib.sh"
needTools xdotool xclip xwininfo
typeInto() { # typeInto TEXT: typed into the focused widget
    xdotool type --delay 30 "$1"
    sleep 0.2
}

startSession
qdctl init >/dev/null || exit 1
qdctl config set MonitorClipboard 1 >/dev/null
qdctl config set MaxClipboardEntries 0 >/dev/null

startProbe --window "Typing Target"
startQd
sleep 1

# ---- a hot key made in the windows
keys "$frame" ctrl+k alt+i
check "Ctrl+K, then Insert in the hot-key list opens the form" waitfor 10 hasWindow '^New Hot Key$'
form=$(window '^New Hot Key$')
keys "$form" alt+p
# The combination itself, pressed in the capture field (not cleared of modifiers).
xdotool key ctrl+alt+y
sleep 0.3
keys "$form" alt+d
typeInto "Made in the form"
keys "$form" alt+x
text='Typed by a key made in the form'
typeInto "$text"
keys "$form" alt+d Return
check "Enter saves and closes the form" waitfor 10 bash -c "! xdotool search --name '^New Hot Key$' >/dev/null 2>&1"
stateOf() { qdctl hotkeys list 2>/dev/null | grep "^$1	"; }
registeredY() { stateOf Ctrl-Alt-Y | grep -q "	registered"; }
check "the captured combination is stored and registered at once" waitfor 10 registeredY
check "with the typed description" bash -c "'$bin/qdctl' --data '$data' hotkeys list | grep '^Ctrl-Alt-Y' | grep -q 'Made in the form'"
# The hot-key list is closed again (its child window, Ctrl+F4).
keys "$frame" ctrl+F4

typedAll() { [ "$(received)" = "$text" ]; }
xdotool windowactivate --sync "$probe" 2>/dev/null
: >"$work/keys.log"
xdotool key ctrl+alt+y
check "pressing it types its text into another window" waitfor 15 typedAll || echo "   received: '$(received)'"

# ---- the clipboard windows
clipOut() { xclip -o -selection clipboard 2>/dev/null; }
copied='Copied In Another Program'
printf '%s' "$copied" | xclip -selection clipboard -i
storedCopy() { qdctl clip list | grep -q "$copied"; }
check "a copy in another program is stored" waitfor 10 storedCopy
printf '%s' 'Zz later copy' | xclip -selection clipboard -i
laterStored() { qdctl clip list | grep -q 'Zz later copy'; }
waitfor 10 laterStored
keys "$frame" alt+l b
sleep 1
# The search narrows the list to the copy; the first row is selected.
keys "$frame" alt+s
typeInto "Another Program"
keys "$frame" alt+t
savedFlag() { qdctl clip list | grep "$copied" | awk -F'\t' '{ print $2 }'; }
isSaved() { [ "$(savedFlag)" = "Save" ]; }
check "\"Toggle Save\" keeps the found entry" waitfor 5 isSaved
otherStaysUnsaved() { [ "$(qdctl clip list | grep 'Zz later copy' | awk -F'\t' '{ print $2 }')" = "-" ]; }
check "and only that one" otherStaysUnsaved
check "the clipboard holds the later copy" [ "$(clipOut)" = 'Zz later copy' ]
keys "$frame" alt+c
backOnClipboard() { [ "$(clipOut)" = "$copied" ]; }
check "\"Copy to Clipboard\" puts the entry back on the clipboard" waitfor 5 backOnClipboard
keys "$frame" alt+t
isUnsaved() { [ "$(savedFlag)" = "-" ]; }
check "a second \"Toggle Save\" lets it go again" waitfor 5 isUnsaved
check "qd is still running" kill -0 "$qd"

kill -TERM "$qd"
wait "$qd"
check "qd ends with 0" [ $? -eq 0 ]
if [ $failures -ne 0 ]; then
    echo "--- qd output"
    cat "$work/qd.out"
    exit 1
fi
echo "all hot-key and clipboard window checks passed"
