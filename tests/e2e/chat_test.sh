#!/usr/bin/env bash
# A chat between two hosts: Ann opens a chat with Bob, Bob accepts at the prompt,
# Ann's typed line reaches Bob's window, and closing Ann's window sends Bob the
# farewell.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
set_up_ann_and_bob
start_ann_and_bob "$kova"

click_band a 6  # Chat; Bob, her only contact, is selected
on a wait_for 10 visible_window "Bob" || fail "Ann's chat window did not open"

accept_on b
on b wait_for 10 visible_window "Ann" || fail "Bob's chat window did not open"
wait_for 10 logged b "balloon: :)|Ann|198.51.100.1" || fail "Bob's balloon did not show"

on a xdotool windowfocus --sync "$(on a visible_window "Bob" | head -n 1)"
sleep 0.3
on a xdotool type --delay 5 "Hello Bob"
on a xdotool key Return
wait_for 10 logged b 'message from "198.51.100.1"' || fail "Ann's line did not reach Bob"

# Closing Ann's window says goodbye: a second message at Bob's.
on a xdotool key Escape
farewell() { [ "$(grep -c 'message from "198.51.100.1"' "$work/b.log")" -ge 2 ]; }
wait_for 10 farewell || fail "Bob did not get Ann's farewell"
echo "PASS: Ann chatted with Bob across two hosts; her farewell arrived"
