#!/usr/bin/env bash
# The local preview on a real X server: the Test Pattern device drawn by the
# preview window, checked on two screenshots of the screen: the pattern's bar
# colours are there and the picture moves between them.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
tests="$(dirname "$kova")/tests/kova_integration_tests"
[ -x "$tests" ] || skip "integration tests not built"
need import convert compare
start_session

shots="$work/shots"
mkdir -p "$shots"
KOVA_PREVIEW_SHOT_DIR="$shots" QT_QPA_PLATFORM=xcb \
  "$tests" --gtest_filter='LocalPreviewOnScreen.*' > "$work/test.log" 2>&1 &
runner=$!
wait_for 30 test -f "$shots/ready" || { cat "$work/test.log"; fail "the preview did not show"; }

import -window root -crop 352x288+0+0 +repage "$shots/first.png" || fail "no screenshot"
sleep 0.5
import -window root -crop 352x288+0+0 +repage "$shots/second.png" || fail "no screenshot"
touch "$shots/done"
wait "$runner" || { cat "$work/test.log"; fail "the preview test failed"; }

colours=$(convert "$shots/first.png" -crop 352x240+0+0 +repage -unique-colors txt:- | tail -n +2)
for want in "#FFFFFF" "#FFFF00" "#00FFFF" "#00FF00" "#FF00FF" "#FF0000" "#0000FF" "#000000"; do
  grep -q "$want" <<<"$colours" || fail "bar colour $want missing from the preview"
done
changed=$(compare -metric AE "$shots/first.png" "$shots/second.png" null: 2>&1 || true)
[ "${changed%% *}" -gt 1000 ] 2>/dev/null || fail "the preview did not move ($changed pixels changed)"
echo "PASS: the moving Test Pattern shows in the preview ($changed pixels changed in 0.5 s)"
