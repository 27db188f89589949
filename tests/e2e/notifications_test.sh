#!/usr/bin/env bash
# A desktop with a session bus: balloons reach its notification server letter
# for letter, from "KOVA" with the program's icon and the main window's caption;
# the tray icon registers with the StatusNotifierItem watcher (icon, tooltip, a
# menu About / Restore / Exit that follows the window and works). A stored video
# source that is gone leads through Devices Properties to a working codec
# without "Compressor is not supported!".
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
recorder="$(dirname "$kova")/tests/kova_bus_recorder"
[ -x "$recorder" ] || skip "no $recorder"
need dbus-daemon
start_session
bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || skip "no session bus"
export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
bus_pid=${bus##*$'\n'}
trap 'kill "$bus_pid" 2>/dev/null; end_session' EXIT

mkfifo "$work/recorder.in"
"$recorder" --notifications --watcher < "$work/recorder.in" > "$work/recorder.log" 2>&1 &
exec {to_recorder}> "$work/recorder.in"
recorded() { grep -qF -- "$1" "$work/recorder.log"; }
wait_for 10 recorded "ready" || fail "the recorder did not start"

write_profile Ann ann@example.org
write_settings IV50
printf 'Gone Camera\0\0\0\0' | iconv -f ASCII -t UTF-16LE |
  dd of="$XDG_CONFIG_HOME/kova/avset.cfg" bs=1 seek=196 conv=notrunc status=none
QT_LOGGING_RULES="kova.*.info=true" "$kova" > "$work/kova.log" 2>&1 &
pid=$!

gone="body=Video source dosn't exist.\nPlease select other."
wait_for 20 recorded "$gone" || fail "no balloon at the notification server: $(grep notify "$work/recorder.log")"
line=$(grep -F -- "$gone" "$work/recorder.log" | head -n 1)
[[ $line =~ ^notify\ app=KOVA\ icon=kova\ image=[0-9]+x[0-9]+\ timeout=5000\ summary=KOVA\ -\ Open\ Meeting\ Room\ body= &&
  $line == *"$gone" ]] || fail "the notification is not as shown: $line"
wait_for 20 visible_window "Devices Properties" || fail "no Devices Properties for the gone source"
xdotool windowfocus --sync "$(visible_window "Devices Properties" | head -n 1)" key Return
wait_for 10 no_visible_window "Devices Properties" || fail "OK did not close Devices Properties"

wait_for 10 recorded "item icon=" || fail "the tray icon did not register with the watcher"
grep -E -q '^item icon=[0-9]+x[0-9]+.* tooltip=KOVA\\nUniversal Video Conferencing Tool\| menu=/' \
  "$work/recorder.log" || fail "the item is not as shown: $(grep '^item' "$work/recorder.log")"
wait_for 5 recorded "menu _About|-|_Exit" || fail "tray menu: $(grep '^menu' "$work/recorder.log")"

main=$(visible_window "$title" | head -n 1)
shown() { visible_window "$title" | grep -qx "$main"; }
xdotool windowfocus --sync "$main" key Escape
wait_for 5 eval '! shown' || fail "Escape did not hide the main window"
grep -q "close: hidden" "$work/kova.log" || fail "closed without the tray"
echo menu >&"$to_recorder"
wait_for 5 recorded "menu _About|-|_Restore|_Exit" || fail "no Restore while hidden"
echo activate >&"$to_recorder"
wait_for 5 shown || fail "a click on the tray icon did not restore the window"

grep -q "balloon: Compressor" "$work/kova.log" && fail "the gone source ended without a working codec"
echo "click _Exit" >&"$to_recorder"
wait_for 10 process_gone "$pid" || fail "Exit from the tray menu did not end the program"
[ "$(dd if="$XDG_CONFIG_HOME/kova/avset.cfg" bs=1 skip=40 count=4 2>/dev/null)" = MJPG ] ||
  fail "Devices Properties did not keep a working codec"
echo "PASS: balloons reached the notification server letter for letter; the tray item" \
  "registered with its icon, tooltip and a menu that follows the window and ends the program"
