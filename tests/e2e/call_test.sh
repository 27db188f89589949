#!/usr/bin/env bash
# A real call between two hosts: Ann calls Bob, Bob accepts at the prompt, both
# sides run the conference and see each other's pictures; when Ann's session
# ends, Bob hears the hang-up. A third host on the line cannot act on the call:
# not with an acceptance after Ann gave up, nor with hang-ups, frame acks and
# media during it.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
add_stranger
set_up_ann_and_bob
start_ann_and_bob "$kova"

# Ann calls and gives up before Bob answers; the stranger's acceptance and
# Bob's late one start nothing on her side, and Bob's conference ends at once.
click_band a 5
wait_for 10 logged a 'calling "198.51.100.2"' || fail "Ann did not call"
click_band a 5  # Disconnect, in Connect's place while waiting
stranger_send 6321 198.51.100.1 6321 "$(call_datagram_hex 113)"
wait_for 10 logged a 'acceptance from "198.51.100.3" ignored' || fail "Ann did not ignore the stranger"
accept_on b
wait_for 10 logged b "balloon: Disconnect from Ann" || fail "Bob's late acceptance was not ended"
logged a "balloon: Connected:" && fail "an acceptance after Disconnect started Ann's conference"
logged a "conference with" && fail "Ann started a conference"

click_band a 5  # Connect; Bob, her only contact, is selected
wait_for 10 logged a 'calling "198.51.100.2"' || fail "Ann did not call"
accept_on b
wait_for 10 logged a "balloon: Connected:|Bob|198.51.100.2" || fail "Ann's conference did not start"
wait_for 10 logged b "balloon: Connected:|Ann|198.51.100.1" || fail "Bob's conference did not start"

# Pictures flow both ways, each acknowledged before the next.
wait_for 20 logged a "pictures shown: 100" || fail "Ann saw no pictures from Bob"
wait_for 20 logged b "pictures shown: 100" || fail "Bob saw no pictures from Ann"

# The stranger hangs up, acks frames, steps the microphone and sends media to
# both: the call goes on and the pictures keep flowing.
for side in 198.51.100.1 198.51.100.2; do
  stranger_send 6321 $side 6321 7000 5    # CTL_HANGUP
  stranger_send 6321 $side 6321 7600 50   # CTL_FRAME_ACK
  stranger_send 6321 $side 6321 7e00      # CTL_MIC_UP
  stranger_send 6323 $side 6323 "$(printf 'ff%.0s' $(seq 600))" 200
  stranger_send 6324 $side 6324 "$(printf '00%.0s' $(seq 300))" 200
done
wait_for 20 logged a "pictures shown: 300" || fail "Ann's pictures stopped after the stranger's datagrams"
wait_for 20 logged b "pictures shown: 300" || fail "Bob's pictures stopped after the stranger's datagrams"
logged a "balloon: Disconnect from" && fail "a stranger's hang-up ended Ann's call"
# Ann's link statistics count each of the stranger's 400 media datagrams as dropped.
strangers_counted() { [ "$(grep -o 'strangers=[0-9]*' "$work/a.log" | tail -n 1 | cut -d= -f2)" -ge 400 ]; }
wait_for 5 strangers_counted || fail "Ann's statistics did not count the stranger's datagrams"
[ "$(grep -c 'balloon: Disconnect from Ann' "$work/b.log")" -gt 1 ] && fail "a stranger's hang-up ended Bob's call"

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
echo "PASS: two calls across two hosts with pictures both ways; ended from the receiving window and by the end of a session; a third host changed nothing"
