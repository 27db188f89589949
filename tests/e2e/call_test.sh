#!/usr/bin/env bash
# A real call between two hosts: Ann calls Bob, Bob accepts at the prompt, both
# sides run the conference and see each other's pictures; when Ann's session
# ends, Bob hears the hang-up.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
set_up_ann_and_bob
start_ann_and_bob "$kova"

click_band a 5  # Connect; Bob, her only contact, is selected
wait_for 10 logged a 'calling "198.51.100.2"' || fail "Ann did not call"
accept_on b
wait_for 10 logged a "balloon: Connected:|Bob|198.51.100.2" || fail "Ann's conference did not start"
wait_for 10 logged b "balloon: Connected:|Ann|198.51.100.1" || fail "Bob's conference did not start"

# Pictures flow both ways, each acknowledged before the next.
wait_for 20 logged a "pictures shown: 100" || fail "Ann saw no pictures from Bob"
wait_for 20 logged b "pictures shown: 100" || fail "Bob saw no pictures from Ann"

# Bob closes his receiving window: both sides hang up.
on b xdotool windowfocus --sync "$(on b visible_window "Receiving from Ann" | head -n 1)"
on b xdotool key Escape
wait_for 10 logged b 'conference with "198.51.100.1" ending' || fail "Bob's window did not end the call"
wait_for 10 logged a "balloon: Disconnect from Bob" || fail "Ann did not hear Bob's hang-up"

# A second call, ended by the end of Ann's session.
click_band a 5
wait_for 10 logged a 'calling "198.51.100.2"' || fail "Ann did not call again"
accept_on b
connected_twice() { [ "$(grep -c 'balloon: Connected:' "$work/b.log")" -ge 2 ]; }
wait_for 10 connected_twice || fail "the second call did not start"
kill -TERM "$kova_pid_a"
wait_for 20 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end"
wait_for 10 logged b "balloon: Disconnect from Ann" || fail "Bob did not hear the hang-up"
echo "PASS: two calls across two hosts with pictures both ways; ended from the receiving window and by the end of a session"
