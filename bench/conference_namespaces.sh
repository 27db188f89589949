#!/usr/bin/env bash
# Pictures over a real call between two network-namespace hosts (root needed):
# for each compressor and capture size, Ann and Bob call for SECONDS seconds
# and a poller reads the Test Pattern's frame counter off Bob's X screen, which
# ties each picture that reached the screen to the moment Ann captured it.
# Reports pictures on Bob's screen per second, capture-to-screen (median, 95th
# percentile), capture-to-update() at Bob (median, for comparison), the payload
# bytes per second Bob received, CPU (% of one core) and resident memory (MiB)
# of each side over the measurement, and the load average when it ended.
#   bash bench/conference_namespaces.sh [build] [seconds]
# CODECS, SIZES (WxH ...) and THREADS (codec threads per instance, "auto": the
# program's choice) narrow or widen the runs.
set -uo pipefail
build=${1:-build}
seconds=${2:-10}
kova=$(realpath "$build/kova")
poll=$(realpath "$build/bench/screen_counter_poll")
here=$(dirname "$0")
codecs=${CODECS:-MJPG FMP4 H264}
sizes=${SIZES:-320x240 640x480 1280x720}
threads_list=${THREADS:-auto}
# Room for the receiving window at 1280 x 720 and 100 %.
export KOVA_SCREEN=${KOVA_SCREEN:-1920x1200}
[ -x "$poll" ] || { echo "SKIPPED: $build/bench/screen_counter_poll is not built"; exit 77; }
tick=$(getconf CLK_TCK)

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
rss_mib() { awk '/^VmRSS:/ { printf "%.0f", $2 / 1024 }' "/proc/$1/status"; }
median_of() {
  local m
  m=$(wc -l < "$1")
  [ "$m" -gt 0 ] && sed -n "$(((m + 1) / 2))p" "$1" || echo -
}

printf '%-5s %-9s %-4s %6s %10s %8s %10s %8s %6s %6s %6s %6s %5s\n' codec size thr fps \
  median_ms p95_ms update_ms kB/s cpu_a cpu_b rss_a rss_b load
for threads in $threads_list; do
  if [ "$threads" = auto ]; then unset KOVA_VIDEO_THREADS; else export KOVA_VIDEO_THREADS=$threads; fi
  for codec in $codecs; do
    for size in $sizes; do
      w=${size%x*} h=${size#*x}
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
        place=$(grep 'kova.timing: placed kova::CRecDlg' "$work/b.log" | tail -n 1)
        read -r _ _ _ _ x y pw ph <<<"$place"
        start_line=$(wc -l < "$work/b.log")
        a0=$(cpu_ticks "$kova_pid_a") b0=$(cpu_ticks "$kova_pid_b") t0=$(date +%s.%N)
        on b "$poll" "$x" "$y" "$pw" "$ph" "$seconds" > "$out.screen"
        a1=$(cpu_ticks "$kova_pid_a") b1=$(cpu_ticks "$kova_pid_b") t1=$(date +%s.%N)
        awk -v a="$((a1 - a0))" -v b="$((b1 - b0))" -v t="$tick" -v s="$t0" -v e="$t1" \
          'BEGIN { printf "%.0f %.0f", a / t / (e - s) * 100, b / t / (e - s) * 100 }' > "$out.cpu"
        printf ' %s %s\n' "$(rss_mib "$kova_pid_a")" "$(rss_mib "$kova_pid_b")" >> "$out.cpu"
        tail -n +"$start_line" "$work/b.log" > "$out.b"
        cp "$work/a.log" "$out.a"
      ) > /dev/null 2>&1
      load=$(cut -d ' ' -f 1 /proc/loadavg)
      # Ann's captures, joined on the frame counter with what Bob's screen
      # showed and with Bob's draws (last capture of a counter value wins; the
      # counter wraps only after 36 minutes). The poller's first line is the
      # picture already there when it started.
      awk 'FNR == NR { if ($0 ~ /kova.timing: captured/) cap[$3] = $5; next }
           /^shown/ && FNR > 1 && ($2 in cap) { print ($4 - cap[$2]) / 1000 }' \
        "$out.a" "$out.screen" 2>/dev/null | sort -n > "$out.lat"
      awk 'FNR == NR { if ($0 ~ /kova.timing: captured/) cap[$3] = $5; next }
           /kova.timing: drawn/ && ($3 in cap) { print ($5 - cap[$3]) / 1000 }' \
        "$out.a" "$out.b" 2>/dev/null | sort -n > "$out.upd"
      m=$(wc -l < "$out.lat")
      fps=$(awk -v s="$seconds" '/^shown/ && FNR > 1 { n++ } END { printf "%.1f", n / s }' \
        "$out.screen" 2>/dev/null)
      kbs=$(awk '/Download Rate:/ { r += $4; n++ } END { printf "%.1f", n ? r / n * 128 / 1000 : 0 }' \
        "$out.b" 2>/dev/null)
      median=- p95=-
      if [ "$m" -gt 0 ]; then
        median=$(median_of "$out.lat")
        p95=$(sed -n "$(((m * 95 + 99) / 100))p" "$out.lat")
      fi
      read -r cpu_a cpu_b rss_a rss_b < "$out.cpu" 2>/dev/null || cpu_a=- cpu_b=- rss_a=- rss_b=-
      printf '%-5s %-9s %-4s %6s %10s %8s %10s %8s %6s %6s %6s %6s %5s\n' "$codec" "$size" \
        "$threads" "${fps:-0}" "$median" "$p95" "$(median_of "$out.upd")" "$kbs" "${cpu_a:--}" \
        "${cpu_b:--}" "${rss_a:--}" "${rss_b:--}" "$load"
      rm -f "$out" "$out".*
    done
  done
done
