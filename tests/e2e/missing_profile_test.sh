#!/usr/bin/env bash
# First start without a profile: My Profile is shown; cancelling it leads to the
# warning, and confirming that ends the program, which still writes avset.cfg.
# SIGTERM with My Profile or the warning open ends the program at once.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
start_session
# The warning carries the main window's caption: two windows of that name.
two_windows() { [ "$(visible_window "KOVA - Open Meeting Room" | wc -l)" -ge 2 ]; }

for open in "My Profile" "the missing-profile warning" ""; do
  "$kova" &
  pid=$!
  wait_for 20 visible_window "My Profile" || fail "no My Profile dialog at first start"
  if [ "$open" != "My Profile" ]; then
    xdotool windowfocus --sync "$(visible_window "My Profile" | head -n 1)" key Escape
    wait_for 10 no_visible_window "My Profile" || fail "My Profile did not close"
    wait_for 10 two_windows || fail "no warning after cancelling My Profile"
  fi
  [ -n "$open" ] || break
  sigterm_ends "$pid" "$open open"
  rm -f "$XDG_CONFIG_HOME/kova/avset.cfg"
done
process_gone "$pid" && fail "the program ended before the warning was confirmed"
xdotool key Return
wait_for 20 process_gone "$pid" || fail "the program did not end after the warning"
wait "$pid" || fail "the program ended with an error"
[ "$(stat -c %s "$XDG_CONFIG_HOME/kova/avset.cfg" 2>/dev/null)" = 1344 ] || fail "no avset.cfg"
echo "PASS: missing profile ended the program after the warning; SIGTERM ended it from My Profile and the warning"
