#!/usr/bin/env bash
# A chat between two hosts: Ann opens a chat with Bob, Bob accepts at the prompt,
# Ann's typed line reaches Bob's window, and closing Ann's window sends Bob the
# farewell. Ann knows Bob by a name in her own hosts file; Bob's reply must not
# open her a second window.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
# `ip netns exec` mounts /etc/netns/<ns>/hosts over /etc/hosts for Ann alone.
hosts_dir="/etc/netns/$ns_a"
trap 'rm -rf "$hosts_dir"; rmdir /etc/netns 2>/dev/null; end_two_hosts' EXIT
mkdir -p "$hosts_dir"
printf '127.0.0.1 localhost\n198.51.100.2 bob.kova.test\n' > "$hosts_dir/hosts"
set_up_ann_and_bob
on a bash -c 'printf "[main]\r\ncount=1\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=bob.kova.test\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'
start_ann_and_bob "$kova"

wait_for 25 logged a 'presence of "198.51.100.2" free' || fail "Ann's presence query did not reach Bob"

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

on b xdotool windowfocus --sync "$(on b visible_window "Ann" | head -n 1)"
sleep 0.3
on b xdotool type --delay 5 "Hello Ann"
on b xdotool key Return
wait_for 10 logged a 'message from "198.51.100.2"' || fail "Bob's line did not reach Ann"
[ "$(on a visible_window "Bob" | wc -l)" -eq 1 ] || fail "Ann has more than one chat window with Bob"

# Closing Ann's window says goodbye: a second message at Bob's.
on a xdotool windowfocus --sync "$(on a visible_window "Bob" | head -n 1)"
on a xdotool key Escape
farewell() { [ "$(grep -c 'message from "198.51.100.1"' "$work/b.log")" -ge 2 ]; }
wait_for 10 farewell || fail "Bob did not get Ann's farewell"
echo "PASS: Ann chatted with Bob by host name in one window; her farewell arrived"
