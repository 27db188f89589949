#!/usr/bin/env bash
# First start with an empty home: My Profile, then Devices Properties in its
# start-up form. OK there stores a video source and a codec that can encode,
# and the local video runs. SIGTERM with each start-up dialog open ends the
# program at once and leaves a whole avset.cfg.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
need import compare
start_session
title="KOVA - Open Meeting Room"
shots="$work/shots"
mkdir -p "$shots"

"$kova" &
pid=$!
wait_for 20 visible_window "My Profile" || fail "no My Profile dialog at first start"
xdotool windowfocus --sync "$(visible_window "My Profile" | head -n 1)"
sleep 0.3  # the dialog puts its focus on the first field once it is mapped
xdotool type --delay 20 "Ann"
xdotool key Tab
xdotool type --delay 20 "ann@example.org"
xdotool key Return
wait_for 10 no_visible_window "My Profile" || fail "My Profile did not close"

wait_for 20 visible_window "Devices Properties" || fail "no Devices Properties at first start"
dialog=$(visible_window "Devices Properties" | head -n 1)
import -window "$dialog" "$shots/devices.png" || fail "no screenshot of the dialog"
xdotool windowfocus --sync "$dialog" key Return
wait_for 10 no_visible_window "Devices Properties" || fail "OK did not close Devices Properties"

window=$(visible_window "$title" | head -n 1)
[ -n "$window" ] || fail "no main window"
sleep 0.5
import -window "$window" "$shots/first.png" || fail "no screenshot"
sleep 0.5
import -window "$window" "$shots/second.png" || fail "no screenshot"
changed=$(compare -metric AE "$shots/first.png" "$shots/second.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 1000 ] 2>/dev/null || fail "the local video does not run ($changed pixels changed)"
[ -n "${KOVA_KEEP_SHOTS:-}" ] && cp "$shots"/*.png "$KOVA_KEEP_SHOTS"/

sigterm_ends "$pid" "the main window"
avset="$XDG_CONFIG_HOME/kova/avset.cfg"
[ "$(dd if="$avset" bs=1 skip=40 count=4 2>/dev/null)" = "MJPG" ] || fail "OK did not store MJPG"
name=$(dd if="$avset" bs=1 skip=196 count=24 2>/dev/null | iconv -f UTF-16LE -t UTF-8)
[ "$name" = "Test Pattern" ] || fail "OK stored the video source '$name'"

# A stored sound format of all zeros brings up the codec chooser.
head -c 146 /dev/zero | dd of="$avset" bs=1 seek=44 conv=notrunc status=none
"$kova" &
pid=$!
wait_for 20 visible_window "Select Audio Compressor" || fail "no codec chooser for a zero format"
sigterm_ends "$pid" "the codec chooser open"
[ "$(dd if="$avset" bs=1 skip=40 count=4 2>/dev/null)" = "MJPG" ] || fail "the chooser's end lost the codec"

# No stored video source: Devices Properties in its start-up form.
rm -f "$avset"
"$kova" &
pid=$!
wait_for 20 visible_window "Devices Properties" || fail "no Devices Properties without a source"
sigterm_ends "$pid" "the start-up Devices Properties open"

echo "PASS: first start led through My Profile and Devices Properties to running local video;" \
  "SIGTERM ended the codec chooser and Devices Properties at once"
