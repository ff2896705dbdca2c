#!/bin/bash
# Hot keys and the clipboard saver on a real X desktop (Xvfb, openbox) with qd
# running, driven from outside as a person would:
#  - a TYPE hot key pressed with XTest types its text into a test window
#    exactly, under the us and de layouts, also while the user still holds the
#    combination's modifiers;
#  - a PASTE hot key pastes, and the clipboard's previous text and image are
#    back afterwards; the paste is not stored by the saver;
#  - a combination another client holds is reported refused by qdctl;
#  - Windows+W brings the minimised frame back;
#  - 200 texts copied by xclip at 20 ms intervals are all stored, in order,
#    with the foreground window's title as category (a copy replaced before
#    anyone could read it is reported by qd, and only such a copy is missing); a secret-marked copy, an
#    image and an owner that dies are not stored and do no harm.
#   hotkeys-desktop-test.sh BIN_DIR X11_SESSION_SCRIPT
set -u
bin=$1
session=$2
. "$(dirname "$0")/desktop-test-lib.sh"
needTools xdotool xclip xwininfo setxkbmap

startSession

qdctl init >/dev/null || exit 1
qdctl config set LogEvents 1 >/dev/null
qdctl config set MonitorClipboard 1 >/dev/null
qdctl config set MaxClipboardEntries 0 >/dev/null
typed='Grüße, Zoë! 42 <a|b> @€ "quoted" x=y+z'
hot() { # hot COMBINATION TYPE TEXT
    qdctl rec add SysHotKeys "HOT:HotKey=$1" HOT:Active=1 "HOT:Description=$2 test" HOT:Action=Text \
        "HOT:TextType=$2" "HOT:Text=$3" >/dev/null
}
hot Ctrl-Alt-T TYPE "$typed"
hot Ctrl-Alt-P PASTE "Pasted Text"
hot Ctrl-Alt-G TYPE "never typed"

# Another program holds Ctrl+Alt+G before qd starts.
"$bin/qd_keygrab" g ctrl alt >"$work/grab.out" 2>&1 &
pids+=($!)
check "another client grabs Ctrl+Alt+G" waitfor 5 grep -q grabbed "$work/grab.out"

startProbe --edit-log "$work/edit.txt" --window "Clip Source Window"
startQd
registered() { qdctl hotkeys list 2>/dev/null | grep -q "^Ctrl-Alt-T	registered"; }
check "qdctl lists the hot keys as registered" waitfor 10 registered
check "and the one another client holds as refused" \
    bash -c "'$bin/qdctl' --data '$data' hotkeys list | grep -q '^Ctrl-Alt-G	refused: held by another program'"

focusProbe() {
    xdotool windowactivate --sync "$probe" 2>/dev/null
    : >"$work/keys.log"
}
typedExactly() { [ "$(received)" = "$typed" ]; }
showReceived() { echo "   received: '$(received)'"; }

for layout in us de; do
    setxkbmap "$layout"
    focusProbe
    xdotool key ctrl+alt+t
    check "[$layout] the TYPE hot key types its text exactly" waitfor 15 typedExactly || showReceived
    # The user still holds Ctrl and Alt (and the key) while the typing starts.
    focusProbe
    xdotool keydown ctrl alt t
    check "[$layout] held modifiers do not leak into the text" waitfor 15 typedExactly || showReceived
    xdotool keyup t alt ctrl
    sleep 0.3
done
setxkbmap us

# PASTE: the text arrives, and the previous clipboard content comes back.
clipOut() { xclip -o -selection clipboard "$@" 2>/dev/null; }
pasted() { [ "$(cat "$work/edit.txt" 2>/dev/null)" = "$1" ]; }
printf 'Previous Text' | xclip -selection clipboard -i
focusProbe
xdotool key ctrl+a BackSpace
sleep 0.2
: >"$work/edit.txt"
xdotool key ctrl+alt+p
check "the PASTE hot key pastes its text" waitfor 10 pasted "Pasted Text"
textBack() { [ "$(clipOut)" = "Previous Text" ]; }
check "the previous text is back on the clipboard" waitfor 5 textBack
png=$(ls "$(dirname "$0")"/../../docs/screenshots/*.png 2>/dev/null | head -1)
if [ -n "$png" ]; then
    xclip -selection clipboard -t image/png -i "$png"
    xdotool key ctrl+alt+p
    check "a second paste pastes again" waitfor 10 pasted "Pasted TextPasted Text"
    imageBack() { clipOut -t image/png | cmp -s - "$png"; }
    check "the previous image is back on the clipboard" waitfor 5 imageBack
fi
check "the pasted text was not stored by the clipboard saver" bash -c "! '$bin/qdctl' --data '$data' clip list | grep -q 'Pasted Text'"

# Windows+W brings the frame back.
xdotool windowminimize --sync "$frame"
xdotool key super+w
check "Windows+W restores the frame" waitfor 5 viewable "$frame"

# The clipboard saver: a burst of 200 copies while the test window has the focus.
xdotool windowactivate --sync "$probe"
name() { # three capital letters for a number: distinct hash keys
    local n=$1 s=""
    for _ in 1 2 3; do
        s="$s$(printf "\\$(printf '%03o' $((65 + n % 26)))")"
        n=$((n / 26))
    done
    printf '%s' "$s"
}
before=$(qdctl clip list | wc -l)
expected=$work/expected.txt
: >"$expected"
for i in $(seq 0 199); do
    text="Burst $(name $i) $i"
    echo "$text" >>"$expected"
    printf '%s' "$text" | xclip -selection clipboard -i
    sleep 0.02
done
lostCopies() { grep -c 'clipboard copy was replaced by the next one' "$work/qd.out"; }
allSeen() { [ $(($(qdctl clip list | grep -c '	Burst ') + $(lostCopies))) -ge 200 ]; }
waitfor 20 allSeen
qdctl clip list | grep '	Burst ' | awk -F'\t' '{ print $4 }' | tac >"$work/stored.txt"
# X serves a copy from the program that made it, and only while it owns the
# clipboard: a copy whose owner was replaced before our request reached the
# server can be read by nobody. qd reads each copy on a thread of its own the
# moment it is made and reports such a copy as lost (decided by the server's
# request order, not by timing); every other copy must be stored.
kept=$(wc -l <"$work/stored.txt")
lost=$(lostCopies)
echo "   kept $kept of 200, $lost replaced before anyone could read them"
check "every copy that could be read is stored ($kept kept + $lost lost = 200)" [ $((kept + lost)) -eq 200 ]
grep -Fxf "$work/stored.txt" "$expected" >"$work/expected-kept.txt"
check "in the order they were copied" cmp -s "$work/expected-kept.txt" "$work/stored.txt"
categories=$(qdctl clip list | grep '	Burst ' | awk -F'\t' '{ print $3 }' | sort -u)
check "with the foreground window's title as category ($categories)" [ "$categories" = "Clip Source Window" ]

# A secret-marked copy, an image and an owner that dies are not stored; qd goes on.
"$bin/qd_clipsource" --text "Secret Password Q" --secret >"$work/secret.out" 2>&1 &
pids+=($!)
waitfor 10 grep -q owned "$work/secret.out"
xclip -selection clipboard -t image/png -i "${png:-/dev/null}"
printf 'Owner That Dies' | xclip -selection clipboard -i -quiet &
victim=$!
sleep 0.05
kill -9 $victim 2>/dev/null
printf 'After The Noise' | xclip -selection clipboard -i
afterStored() { qdctl clip list | grep -q 'After The Noise'; }
check "a copy after the noise is stored" waitfor 10 afterStored
check "the secret-marked copy is not" bash -c "! '$bin/qdctl' --data '$data' clip list | grep -q 'Secret Password'"
check "qd is still running" kill -0 "$qd"

kill -TERM "$qd"
wait "$qd"
check "qd ends with 0" [ $? -eq 0 ]
check "and released its hot keys (another client can grab Ctrl+Alt+T)" \
    bash -c "timeout 5 '$bin/qd_keygrab' t ctrl alt | grep -q grabbed"

if [ $failures -ne 0 ]; then
    echo "--- qd output"
    cat "$work/qd.out"
    exit 1
fi
echo "all hot-key and clipboard desktop checks passed"
