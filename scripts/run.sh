#!/usr/bin/env bash
# Starts KOVA. Without a display it runs under Xvfb, says so, and saves a
# screenshot of the screen after a few seconds so a headless user sees it work.
set -euo pipefail
build=${1:-build}
kova="$build/kova"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$kova"
fi

screenshot="$build/screenshot.png"
# Its own session: a Ctrl+C for KOVA must not take the X server away first.
exec 3< <(setsid Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
xvfb_pid=$!
read -r display <&3
export DISPLAY=":$display"
trap 'kill $xvfb_pid 2>/dev/null || true' EXIT
echo "No display found: KOVA runs under Xvfb on $DISPLAY."
"$kova" &
kova_pid=$!
trap 'kill $kova_pid 2>/dev/null || true; wait $kova_pid 2>/dev/null || true; kill $xvfb_pid 2>/dev/null || true' EXIT INT TERM
sleep 4
if import -window root "$screenshot" 2>/dev/null; then
  echo "Screenshot of the screen saved to $screenshot. Ctrl+C ends KOVA."
fi
wait $kova_pid
