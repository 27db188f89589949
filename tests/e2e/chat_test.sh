#!/usr/bin/env bash
# A chat between two hosts: Ann opens a chat with Bob, Bob accepts at the prompt,
# Ann's typed line reaches Bob's window, and closing Ann's window sends Bob the
# farewell.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
title="KOVA - Open Meeting Room"

on a bash -c 'printf "[KOVA Video Conference]\r\nName=Ann\r\nEMail=ann@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
on b bash -c 'printf "[KOVA Video Conference]\r\nName=Bob\r\nEMail=bob@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
on a bash -c 'mkdir -p "$XDG_CONFIG_HOME/kova" && printf "[main]\r\ncount=1\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=192.0.2.2\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'

kova_on a "$kova"
kova_on b "$kova"
on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"
on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"

# Ann's Chat button: the sixth in the band; Bob, her only contact, is selected.
eval "$(on a xdotool getwindowgeometry --shell "$(on a visible_window "$title" | head -n 1)")"
on a xdotool mousemove --sync $((X + 308)) $((Y + 32)) click 1
on a wait_for 10 visible_window "Bob" || fail "Ann's chat window did not open"

prompt() { [ "$(on b visible_window "$title" | wc -l)" -ge 2 ]; }
wait_for 15 prompt || fail "Bob was not asked"
on b xdotool windowfocus --sync "$(on b visible_window "$title" | tail -n 1)"
sleep 0.3
on b xdotool key Return
on b wait_for 10 visible_window "Ann" || fail "Bob's chat window did not open"
wait_for 10 logged b "balloon: :)|Ann|192.0.2.1" || fail "Bob's balloon did not show"

on a xdotool windowfocus --sync "$(on a visible_window "Bob" | head -n 1)"
sleep 0.3
on a xdotool type --delay 5 "Hello Bob"
on a xdotool key Return
wait_for 10 logged b 'message from "192.0.2.1"' || fail "Ann's line did not reach Bob"

# Closing Ann's window says goodbye: a second message at Bob's.
on a xdotool key Escape
farewell() { [ "$(grep -c 'message from "192.0.2.1"' "$work/b.log")" -ge 2 ]; }
wait_for 10 farewell || fail "Bob did not get Ann's farewell"
echo "PASS: Ann chatted with Bob across two hosts; her farewell arrived"
