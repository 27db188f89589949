#!/usr/bin/env bash
# Pictures over a real call between two network-namespace hosts (root needed):
# for each compressor and capture size, Ann and Bob call for SECONDS seconds and
# the Test Pattern's frame counter ties each picture Bob draws to the moment Ann
# captured it. Reports pictures drawn per second at Bob, the capture-to-draw
# time (median, 95th percentile) and the payload bytes per second Bob received.
#   bash bench/conference_namespaces.sh [build] [seconds]
set -uo pipefail
build=${1:-build}
seconds=${2:-10}
kova=$(realpath "$build/kova")
here=$(dirname "$0")

printf '%-6s %-8s %8s %12s %12s %10s\n' codec size "fps" "median_ms" "p95_ms" "kB/s"
for codec in MJPG FMP4 H264; do
  for size in "320 240" "640 480"; do
    read -r w h <<<"$size"
    out=$(mktemp)
    (
      . "$here/../tests/e2e/lib.sh"
      start_two_hosts
      set_up_ann_and_bob
      on a write_settings "$codec" "$w" "$h"
      on b write_settings "$codec" "$w" "$h"
      export KOVA_LOG_RULES="kova.*.info=true;kova.timing.debug=true"
      start_ann_and_bob "$kova"
      click_band a 5
      accept_on b
      wait_for 10 logged b "pictures shown: 1" || fail "no pictures"
      sleep 2
      : > "$work/b.mark"
      start_line=$(wc -l < "$work/b.log")
      sleep "$seconds"
      tail -n +"$start_line" "$work/b.log" > "$out.b"
      cp "$work/a.log" "$out.a"
    ) > /dev/null 2>&1
    # Ann's captures and Bob's draws, joined on the frame counter (last capture
    # of a counter value wins; the counter wraps only after 36 minutes).
    awk 'FNR == NR { if ($0 ~ /kova.timing: captured/) cap[$3] = $5; next }
         /kova.timing: drawn/ && ($3 in cap) { print ($5 - cap[$3]) / 1000 }' \
      "$out.a" "$out.b" | sort -n > "$out.lat"
    m=$(wc -l < "$out.lat")
    fps=$(awk -v s="$seconds" '/kova.timing: drawn/ { n++ } END { printf "%.1f", n / s }' "$out.b")
    kbs=$(awk '/Download Rate:/ { r += $4; n++ } END { printf "%.1f", n ? r / n * 128 / 1000 : 0 }' "$out.b")
    if [ "$m" -gt 0 ]; then
      median=$(sed -n "$(((m + 1) / 2))p" "$out.lat")
      p95=$(sed -n "$(((m * 95 + 99) / 100))p" "$out.lat")
    else
      median=- p95=-
    fi
    stats="$fps $median $p95 $kbs"
    read -r fps median p95 kbs <<<"$stats"
    printf '%-6s %-8s %8s %12s %12s %10s\n' "$codec" "${w}x${h}" "$fps" "$median" "$p95" "$kbs"
    rm -f "$out" "$out.a" "$out.b" "$out.lat"
  done
done
