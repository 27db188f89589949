#!/usr/bin/env bash
# A whole video conference between two hosts, each with its own X server and
# PulseAudio (a sine as microphone, a null sink as loudspeaker): Ann
# calls, Bob accepts, 20 s of Test Pattern and sine both ways, Ann disconnects.
# Checked from outside: pictures shown and moving, the sine at both
# loudspeakers, a non-zero download rate, both idle and free afterwards.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
set_up_ann_and_bob
# Bob knows Ann too, so his presence poll asks her.
on b bash -c 'mkdir -p "$XDG_CONFIG_HOME/kova" && printf "[main]\r\ncount=1\r\n[0]\r\nname=Ann\r\nmail=ann@example.org\r\naddr=198.51.100.1\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'
start_pulse a
start_pulse b
# Two tones, not one: each side's echo canceller rightly takes a microphone
# tone that matches what its loudspeaker plays for echo.
PULSE_SERVER=$pulse_b pactl unload-module module-sine
PULSE_SERVER=$pulse_b pactl load-module module-sine sink=src_sink frequency=660 >/dev/null
start_ann_and_bob "$kova"

click_band a 5
accept_on b
wait_for 10 logged a "balloon: Connected:|Bob|198.51.100.2" || fail "Ann's conference did not start"
wait_for 10 logged b "balloon: Connected:|Ann|198.51.100.1" || fail "Bob's conference did not start"
wait_for 20 logged a "pictures shown: 100" || fail "Ann saw no pictures from Bob"
wait_for 20 logged b "pictures shown: 100" || fail "Bob saw no pictures from Ann"

# The peer's pattern moves in each receiving window.
for side in a b; do
  peer=Bob; [ $side = b ] && peer=Ann
  window=$(on $side visible_window "Receiving from $peer" | head -n 1)
  [ -n "$window" ] || fail "host $side shows no receiving window"
  on $side import -window "$window" "$work/$side-1.png"
  sleep 1
  on $side import -window "$window" "$work/$side-2.png"
  changed=$(compare -metric AE "$work/$side-1.png" "$work/$side-2.png" null: 2>&1 || true)
  [ "${changed%% *}" -gt 0 ] 2>/dev/null || fail "host $side's picture does not move ($changed)"
done

# Each loudspeaker plays the other side's sine: Bob's 660 Hz, Ann's 440 Hz.
sleep 3
for side in a b; do
  record_sink $side 3 "$work/$side-heard.wav" || fail "could not record host $side's loudspeaker"
  stats=$(sox "$work/$side-heard.wav" -n stat 2>&1)
  freq=$(awk '/Rough   frequency/ { print $3 }' <<<"$stats")
  rms=$(awk '/RMS     amplitude/ { print $3 }' <<<"$stats")
  want=660; [ $side = b ] && want=440
  awk -v f="$freq" -v w="$want" -v r="$rms" 'BEGIN { exit !(f > w - 40 && f < w + 40 && r > 0.01) }' ||
    fail "host $side did not hear the sine (frequency $freq, RMS $rms)"
done
grep -E 'kova.receive: Download Rate: [1-9][0-9.]* kbps' "$work/a.log" >/dev/null ||
  fail "Ann's download rate stayed at zero"

sleep 12  # twenty seconds of conference in all
on a xdotool windowfocus --sync "$(on a visible_window "Receiving from Bob" | head -n 1)"
on a xdotool key Escape
wait_for 10 logged a 'conference with "198.51.100.2" ending' || fail "Ann's call did not end"
wait_for 10 logged b 'conference with "198.51.100.1" ending' || fail "Bob's call did not end"
# Both answer the next presence polls (every 10 s) as free.
wait_for 25 logged a 'presence of "198.51.100.2" free' || fail "Bob is not free after the call"
wait_for 25 logged b 'presence of "198.51.100.1" free' || fail "Ann is not free after the call"
echo "PASS: 20 s conference across two hosts: pictures moving and the sine heard both ways, both free afterwards"
