#!/usr/bin/env bash
# Two kova processes for one user and display: the second restores the first and
# ends; SIGTERM ends the first through its quit sequence, which writes avset.cfg.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_session
write_profile "Ann" "ann@example.org"
write_settings IV50
title="KOVA - Open Meeting Room"

QT_LOGGING_RULES="kova.*.info=true" "$kova" >"$work/first.log" 2>&1 &
first=$!
wait_for 20 visible_window "$title" || fail "the first instance shows no main window"
window=$(visible_window "$title" | head -n 1)

# Escape closes the window: with no tray on this bare display it is minimised
# (no window manager here to unmap it); the process keeps running.
xdotool windowfocus --sync "$window" key Escape
wait_for 10 grep -q "close: minimised" "$work/first.log" || fail "Escape did not minimise the main window"
process_gone "$first" && fail "closing the window ended the program"

"$kova" &
second=$!
wait_for 20 process_gone "$second" || fail "the second instance did not end by itself"
wait "$second" || fail "the second instance ended with an error"
wait_for 10 visible_window "$title" || fail "the first instance was not shown again"
process_gone "$first" && fail "the first instance ended"
[ "$(visible_window "$title" | wc -l)" -eq 1 ] || fail "more than one main window"

avset="$XDG_CONFIG_HOME/kova/avset.cfg"
rm -f "$avset"
kill -TERM "$first"
wait_for 20 process_gone "$first" || fail "SIGTERM did not end the program"
wait "$first" || fail "the program ended with an error after SIGTERM"
[ -f "$avset" ] || fail "no avset.cfg written at the end"
[ "$(stat -c %s "$avset")" -eq 1344 ] || fail "avset.cfg is $(stat -c %s "$avset") bytes"
[ "$(dd if="$avset" bs=1 skip=40 count=4 2>/dev/null)" = "IV50" ] || fail "no IV50 at offset 40"
[ "$(u16_at "$avset" 192)" -ge 50 ] || fail "buffer length below 50"
echo "PASS: second instance restored the first and ended; SIGTERM wrote avset.cfg"
