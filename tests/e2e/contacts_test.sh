#!/usr/bin/env bash
# Drives the real window: a contact added through the Contact Data dialog is in
# clset.cfg and still listed after a restart; the Delete key removes it again.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_session
write_profile "Ann" "ann@example.org"
write_settings IV50
title="KOVA - Open Meeting Room"
clset="$XDG_CONFIG_HOME/kova/clset.cfg"

start_kova() {
  "$kova" &
  pid=$!
  wait_for 20 visible_window "$title" || fail "no main window"
  window=$(visible_window "$title" | head -n 1)
  eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y
}

stop_kova() {
  kill -TERM "$pid"
  wait_for 20 process_gone "$pid" || fail "SIGTERM did not end the program"
}

# Places inside the window, from its fixed layout: the New button is the
# second of the tool bar, the first contact row sits below the list's header.
click_at() {
  xdotool mousemove --sync $((X + $1)) $((Y + $2)) click 1
}

start_kova
click_at 72 61
wait_for 10 visible_window "Contact Data" || fail "New did not open Contact Data"
xdotool windowfocus --sync "$(visible_window "Contact Data" | head -n 1)"
sleep 0.3  # the dialog puts its focus on the first field once it is mapped
xdotool type --delay 5 "Bob Miller"
xdotool key Tab
xdotool type --delay 5 "bob@example.org"
xdotool key Tab
xdotool type --delay 5 "127.0.0.10"
xdotool key Return
has_bob() { grep -q "name=Bob Miller" "$clset" && grep -q "addr=127.0.0.10" "$clset"; }
wait_for 10 has_bob || fail "the new contact is not in clset.cfg"
grep -q "count=1" "$clset" || fail "count is not 1"
stop_kova

start_kova
grep -q "name=Bob Miller" "$clset" || fail "the contact is gone after a restart"
click_at 108 133
sleep 0.3
xdotool key Delete
question() { [ "$(visible_window "$title" | wc -l)" -ge 2 ]; }
wait_for 10 question || fail "Delete asked no question"
sleep 0.5
xdotool key Return
gone() { grep -q "count=0" "$clset"; }
wait_for 10 gone || fail "Delete and Accept did not remove the contact"
grep -q "Bob" "$clset" && fail "the contact's section is still there"
stop_kova
echo "PASS: added through the dialog, kept across a restart, removed with Delete"
