#!/usr/bin/env bash
# Ann at home behind a router, Bob outside calling the router's address. With
# port mapping switched off Ann asks the router nothing and Bob's call never
# reaches her; with it on she has the router forward her five ports, over UPnP
# and, on a router without it, over NAT-PMP: a chat line passes each way, a file
# from Bob arrives, his call rings with pictures and sound both ways, and her
# quit takes the forwarding back.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_router_hosts
set_up_ann_and_bob
on a bash -c 'printf "[main]\r\ncount=1\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=203.0.113.2\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'
on b bash -c 'mkdir -p "$XDG_CONFIG_HOME/kova" && printf "[main]\r\ncount=1\r\n[0]\r\nname=Ann\r\nmail=ann@example.org\r\naddr=203.0.113.1\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'
start_pulse a
start_pulse b
ann_ini="$work/a/home/.config/kova/kova.ini"

start_ann() {
  started=$(date +%s%N)
  kova_on a "$kova"
  on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"
}

# quit_ann WHAT: SIGTERM, and the router forwards nothing within 5 s.
quit_ann() {
  kill -TERM "$kova_pid_a"
  wait_for 10 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end ($1)"
  wait_for 5 mapped 0 || fail "the router still forwards $(router_mappings) ports after Ann quit ($1)"
}

# all_mapped WHAT: the router forwards Ann's five ports; prints how long it took.
all_mapped() {
  wait_for 30 mapped 5 || fail "the router forwards $(router_mappings) of Ann's five ports ($1): $(cat "$work/igd.log")"
  echo "$1: all five ports forwarded $((($(date +%s%N) - started) / 1000000)) ms after Ann's start"
}

# bob_calls_ann N: the N-th call from Bob connects, with pictures both ways.
bob_calls_ann() {
  on b xdotool windowraise "$(on b visible_window "$title" | head -n 1)" # over his chat window
  click_band b 5 # Connect; Ann, his only contact, is selected
  accept_on a
  connected() { [ "$(grep -c 'balloon: Connected:|Bob|203.0.113.2' "$work/a.log")" -ge 1 ] &&
    [ "$(grep -c 'balloon: Connected:|Ann|203.0.113.1' "$work/b.log")" -ge "$1" ]; }
  wait_for 10 connected "$1" || fail "call $1 did not connect on both sides"
  wait_for 20 logged a "pictures shown: 100" || fail "call $1: Ann saw no pictures from Bob"
  pictures_b() { [ "$(grep -c 'pictures shown: 100$' "$work/b.log")" -ge "$1" ]; }
  wait_for 20 pictures_b "$1" || fail "call $1: Bob saw no pictures from Ann"
}

# Switched off: not a single request reaches the router, nor Bob's call Ann.
start_igd
on a bash -c 'printf "[Network]\nPortMapping=0\n" > "$1"' _ "$ann_ini"
kova_on b "$kova"
on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"
start_ann
click_band b 5
wait_for 10 logged b 'calling "203.0.113.1"' || fail "Bob did not call"
rang() { [ "$(on a visible_window "$title" | wc -l)" -ge 2 ] || logged a "call from"; }
wait_for 8 rang && fail "Ann was called through a router that forwards nothing"
click_band b 5 # Disconnect
[ -s "$work/igd.log" ] && fail "Ann asked the router with port mapping switched off: $(cat "$work/igd.log")"
[ "$(router_mappings)" -eq 0 ] || fail "the router forwards ports nobody asked for"
quit_ann "switched off"

# UPnP: Bob's call reaches Ann through the router.
rm -f "$ann_ini"
start_ann
all_mapped UPnP
grep -q "^soap AddPortMapping UDP 6321 -> 198.51.100.130:6321 lease 3600" "$work/igd.log" ||
  fail "Ann did not map her control port for an hour: $(cat "$work/igd.log")"
# A chat line each way, Bob opening the chat (not during a call: the button is off then).
click_band b 6
accept_on a
on a wait_for 10 visible_window "Bob" || fail "Ann's chat window did not open"
on b wait_for 10 visible_window "Ann" || fail "Bob's chat window did not open"
on b xdotool windowfocus --sync "$(on b visible_window "Ann" | head -n 1)"
sleep 0.3
on b xdotool type --delay 5 "Hello Ann"
on b xdotool key Return
wait_for 10 logged a 'message from "203.0.113.2"' || fail "Bob's line did not reach Ann"
on a xdotool windowfocus --sync "$(on a visible_window "Bob" | head -n 1)"
sleep 0.3
on a xdotool type --delay 5 "Hello Bob"
on a xdotool key Return
wait_for 10 logged b 'message from "203.0.113.1"' || fail "Ann's line did not reach Bob"

# A file from Bob, into Ann's home folder, over the forwarded TCP port.
head -c 20000 /dev/urandom > "$work/b/home/notes.bin"
ann_windows=$(visible_windows a)
send_file b Ann "$work/b/home/notes.bin"
save_file a "$ann_windows"
arrived() { cmp -s "$work/b/home/notes.bin" "$work/a/home/notes.bin"; }
wait_for 10 arrived || fail "Bob's file did not arrive whole at Ann's"
bob_calls_ann 1

# Sound crosses the router both ways.
audio_before=$(router_audio_packets)
audio_flows() { [ "$(router_audio_packets)" -ge $((audio_before + 100)) ]; }
wait_for 10 audio_flows || fail "no sound crossed the router ($(router_audio_packets) datagrams)"

quit_ann UPnP
wait_for 10 logged b "balloon: Disconnect from Ann" || fail "Bob did not hear Ann's hang-up"
stop_igd

# NAT-PMP only: the same call.
start_igd --no-upnp
start_ann
all_mapped NAT-PMP
grep -q "^natpmp map udp 6321 -> 198.51.100.130:6321 ext 6321 lease 3600" "$work/igd.log" ||
  fail "Ann did not map her control port for an hour: $(cat "$work/igd.log")"
bob_calls_ann 2
quit_ann NAT-PMP
echo "PASS: behind a router, switched off asks nothing; UPnP and NAT-PMP each forward Ann's five ports for Bob's chat, file and call, and her quit takes them back"
