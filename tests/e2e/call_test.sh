#!/usr/bin/env bash
# A real call between two hosts: Ann calls Bob, Bob accepts at the prompt, both
# sides run the conference; when Ann's session ends, Bob hears the hang-up.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_two_hosts
title="KOVA - Open Meeting Room"

on a bash -c 'printf "[KOVA Video Conference]\r\nName=Ann\r\nEMail=ann@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
on b bash -c 'printf "[KOVA Video Conference]\r\nName=Bob\r\nEMail=bob@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
on a bash -c 'mkdir -p "$XDG_CONFIG_HOME/kova" && printf "[main]\r\ncount=1\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=192.0.2.2\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'

# Both sides send Motion JPEG pictures of the Test Pattern: a settings file with
# that compressor, GSM 6.10 sound in a 50 ms buffer, the Test Pattern stored as
# the video source, everything else default.
for side in a b; do
  on $side bash -c 'f="$XDG_CONFIG_HOME/kova/avset.cfg"; mkdir -p "${f%/*}"
    head -c 1344 /dev/zero > "$f"
    printf "MJPG" | dd of="$f" bs=1 seek=40 conv=notrunc status=none
    printf "\\061\\000\\001\\000\\100\\037\\000\\000\\131\\006\\000\\000\\101\\000\\000\\000\\002\\000\\100\\001" |
      dd of="$f" bs=1 seek=44 conv=notrunc status=none
    printf "\062\000" | dd of="$f" bs=1 seek=192 conv=notrunc status=none
    printf "Test Pattern" | iconv -f ASCII -t UTF-16LE | dd of="$f" bs=1 seek=196 conv=notrunc status=none'
done

kova_on a "$kova"
kova_on b "$kova"
on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"
on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"

# Ann's Connect button: the fifth in the band; Bob, her only contact, is selected.
eval "$(on a xdotool getwindowgeometry --shell "$(on a visible_window "$title" | head -n 1)")"
on a xdotool mousemove --sync $((X + 264)) $((Y + 32)) click 1
wait_for 10 logged a 'calling "192.0.2.2"' || fail "Ann did not call"

# Bob's prompt carries the main window's caption: the newest such window.
prompt() { [ "$(on b visible_window "$title" | wc -l)" -ge 2 ]; }
wait_for 15 prompt || fail "Bob was not asked"
on b xdotool windowfocus --sync "$(on b visible_window "$title" | tail -n 1)"
sleep 0.3
on b xdotool key Return

wait_for 10 logged a "balloon: Connected:|Bob|192.0.2.2" || fail "Ann's conference did not start"
wait_for 10 logged b "balloon: Connected:|Ann|192.0.2.1" || fail "Bob's conference did not start"

# Pictures flow both ways, each acknowledged before the next.
wait_for 20 logged a "pictures shown: 100" || fail "Ann saw no pictures from Bob"
wait_for 20 logged b "pictures shown: 100" || fail "Bob saw no pictures from Ann"

kill -TERM "$kova_pid_a"
wait_for 20 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end"
wait_for 10 logged b "balloon: Disconnect from Ann" || fail "Bob did not hear the hang-up"
logged b "conference with \"192.0.2.1\" ending" || fail "Bob's conference did not end"
echo "PASS: Ann called Bob across two hosts, both saw 100 pictures, Ann's end of session hung up"
