#!/usr/bin/env bash
# First start with an empty home: My Profile, then Devices Properties in its
# start-up form. OK there stores a video source and a codec that can encode,
# and the local video runs. Then SIGTERM with each start-up dialog open, and
# with the settings folder on a full disk, ends the program at once and leaves
# a whole avset.cfg.
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

# My Profile from the main window's band: a modal dialog of the running program.
eval "$(xdotool getwindowgeometry --shell "$window")"
band_button_centre 1
xdotool mousemove --sync $((X + BX)) $((Y + BY)) click 1
wait_for 10 visible_window "My Profile" || fail "the Profile button opened no My Profile"
sigterm_ends "$pid" "My Profile open over the running main window"
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

# The settings folder on a full disk: the quit cannot write, the old file stays.
folder="$XDG_CONFIG_HOME/kova"
full=""
if [ "$(id -u)" -eq 0 ] && cp -a "$folder" "$work/kept" &&
  mount -t tmpfs -o size=256k tmpfs "$folder" 2>/dev/null; then
  trap 'umount "$folder" 2>/dev/null; end_session' EXIT
  cp -a "$work/kept/." "$folder/"
  before=$(md5sum <"$avset")
  dd if=/dev/zero of="$folder/fill" bs=4k status=none 2>/dev/null
  "$kova" 2>"$work/full.log" &
  pid=$!
  wait_for 20 visible_window "$title" || fail "no main window on a full disk"
  sigterm_ends "$pid" "the settings folder full"
  [ "$(md5sum <"$avset")" = "$before" ] || fail "a full disk changed avset.cfg"
  grep -q "could not save" "$work/full.log" || fail "the failed save was not reported"
  umount "$folder"
  trap end_session EXIT
  full=", and a full disk kept the old settings"
else
  echo "note: no tmpfs here, the full-disk case is left out"
fi
echo "PASS: first start led through My Profile and Devices Properties to running local video;" \
  "SIGTERM ended the chooser, Devices Properties and My Profile at once$full"
