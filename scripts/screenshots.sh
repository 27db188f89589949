#!/usr/bin/env bash
# Screenshots of the skinned windows for a human to look at, at one scale:
# the main window with contacts (one button hovered), the same during a call
# (contact buttons disabled), the call question, a chat window with a picture
# background, a receiving window and its context menu; then the dialogs the
# gallery program draws (About, profile, contact, background, warning,
# transfer, splash). Where trayer is installed, Ann's desktop has a classic
# tray: its icon, tooltip and menu are shot too. At 100 % the main window in a
# call also becomes the README's picture, docs/main-window.png. Two namespace
# hosts as in the process tests (root needed). Usage: screenshots.sh BUILD SCALE OUT
set -uo pipefail
build=${1:-build}
scale=${2:-1}
out=$(realpath -m "${3:-$build/screenshots}")
kova=$(realpath "$build/kova")
here=$(dirname "$0")
. "$here/../tests/e2e/lib.sh"
mkdir -p "$out"
export QT_SCALE_FACTOR=$scale
[ "$scale" = 1 ] || export KOVA_SCREEN=2560x1600
suffix=$([ "$scale" = 1 ] && echo "" || echo "@${scale}x")
need import
start_two_hosts
set_up_ann_and_bob
on a bash -c 'printf "[main]\r\ncount=3\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=198.51.100.2\r\n[1]\r\nname=Carol Jones\r\nmail=carol@example.org\r\naddr=198.51.100.3\r\n[2]\r\nname=Dave\r\nmail=dave@example.org\r\naddr=198.51.100.4\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'

# Ann's chats are painted with a picture: mode 2 and its path in avset.cfg.
backdrop="$work/a/backdrop.jpg"
convert -size 640x400 gradient:'#fdf6e3'-'#9ec9e8' \
  -fill '#ffffff80' -draw "circle 480,90 480,40" \
  -fill '#6fa86f' -draw "polygon 0,400 0,300 160,250 330,310 480,260 640,300 640,400" "$backdrop"
on a bash -c "printf '\\002\\000' | dd of=\"\$XDG_CONFIG_HOME/kova/avset.cfg\" bs=1 seek=820 conv=notrunc status=none"
on a bash -c "printf '%s' '$backdrop' | iconv -f UTF-8 -t UTF-16LE | dd of=\"\$XDG_CONFIG_HOME/kova/avset.cfg\" bs=1 seek=822 conv=notrunc status=none"

# The smaller windows, drawn by themselves.
on a "$(dirname "$kova")/tests/kova_gallery" "$out" "$suffix" 2>/dev/null || fail "the gallery failed"

# A classic tray on Ann's desktop (apt-get install trayer), started before
# KOVA so that it finds it.
if command -v trayer > /dev/null; then
  on a trayer --edge bottom --align right --widthtype pixel --width $((120 * scale)) \
    --heighttype pixel --height $((32 * scale)) --transparent false --tint 0x3a5f8a \
    --SetDockType true > /dev/null 2>&1 &
  on a wait_for 10 xdotool search --classname trayer || fail "trayer did not start"
fi

start_ann_and_bob "$kova"
sleep 3  # the first presence poll marks Bob available

shot() {  # SIDE WINDOW-ID NAME
  on "$1" import -window "$2" "$out/$3$suffix.png" && echo "$out/$3$suffix.png"
}
main_window() { on "$1" visible_window "$title" | head -n 1; }

# Hovering New.
eval "$(on a xdotool getwindowgeometry --shell "$(main_window a)")"
band_button_centre 2
on a xdotool mousemove --sync $((X + BX)) $((Y + BY))
sleep 0.5
shot a "$(main_window a)" main-hover

click_band a 6  # Chat
on a wait_for 10 visible_window "Bob" || fail "Ann's chat window did not open"
accept_on b
on b wait_for 10 visible_window "Ann" || fail "Bob's chat window did not open"
chat=$(on a visible_window "Bob" | head -n 1)
on a xdotool windowfocus --sync "$chat"
sleep 0.3
on a xdotool type --delay 5 "Hello Bob, the new look is in."
on a xdotool key Return
sleep 1
shot a "$chat" chat-picture
on a xdotool key Escape

click_band a 5  # Connect
prompt() { [ "$(on b visible_window "$title" | wc -l)" -ge 2 ]; }
wait_for 15 prompt || fail "Bob was not asked"
sleep 0.5
shot b "$(on b visible_window "$title" | tail -n 1)" question
accept_on b
wait_for 10 logged a "balloon: Connected:" || fail "the call did not start"
wait_for 20 logged a "pictures shown: 100" || fail "Ann saw no pictures"
wait_for 20 logged b "pictures shown: 100" || fail "Bob saw no pictures"
# Ann's receiving window goes beside her main window for the shot.
eval "$(on a xdotool getwindowgeometry --shell "$(main_window a)")"
on a xdotool windowmove --sync "$(on a visible_window "Receiving from Bob" | head -n 1)" $((X + WIDTH + 10)) "$Y"

eval "$(on a xdotool getwindowgeometry --shell "$(main_window a)")"
band_button_centre 9
on a xdotool mousemove --sync $((X + BX)) $((Y + BY))
sleep 0.5
shot a "$(main_window a)" main-in-call
[ "$scale" = 1 ] && cp "$out/main-in-call.png" "$here/../docs/main-window.png"

rec=$(on b visible_window "Receiving from Ann" | head -n 1)
shot b "$rec" receiving
eval "$(on b xdotool getwindowgeometry --shell "$rec")"
on b xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 3
sleep 1
on b import -window root -crop "$((WIDTH + 300 * scale))x$((HEIGHT + 100 * scale))+$X+$Y" +repage \
  "$out/receiving-menu$suffix.png" && echo "$out/receiving-menu$suffix.png"
on b xdotool key Escape

# The tray icon, its tooltip and its menu, shot from the screen's corner.
tray=$(on a xdotool search --classname trayer 2> /dev/null | head -n 1)
if [ -n "$tray" ]; then
  eval "$(on a xdotool getwindowgeometry --shell "$tray")"
  corner="$((320 * scale))x$((240 * scale))+$((X + WIDTH - 320 * scale))+$((Y + HEIGHT - 240 * scale))"
  on a xdotool mousemove --sync $((X + 16 * scale)) $((Y + HEIGHT / 2))
  sleep 2  # the tooltip waits for the pointer to rest
  on a import -window root -crop "$corner" +repage "$out/tray-tooltip$suffix.png" && echo "$out/tray-tooltip$suffix.png"
  on a xdotool click 3
  sleep 1
  on a import -window root -crop "$corner" +repage "$out/tray-menu$suffix.png" && echo "$out/tray-menu$suffix.png"
  on a xdotool key Escape
fi
