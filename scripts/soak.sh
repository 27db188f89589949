#!/usr/bin/env bash
# A long call between two network-namespace hosts (root needed): Ann calls Bob
# and they stay connected for SOAK_SECONDS while pictures flow both ways. Every
# 30 s the pictures shown and each side's memory are printed; at the end the
# growth of memory after the first minute is reported.
set -uo pipefail
build=${1:-build}
seconds=${SOAK_SECONDS:-600}
kova=$(realpath "$build/kova")
. "$(dirname "$0")/../tests/e2e/lib.sh"
start_two_hosts
set_up_ann_and_bob
start_ann_and_bob "$kova"
click_band a 5
accept_on b
wait_for 10 logged a "balloon: Connected:" || fail "the call did not start"

rss() { awk '/VmRSS/ { print $2 }' "/proc/$1/status"; }
pictures() { grep -o 'pictures shown: [0-9]*' "$work/$1.log" | tail -n 1 | grep -o '[0-9]*$'; }
echo "seconds pictures(Ann) pictures(Bob) rss_kB(Ann) rss_kB(Bob)"
start=$SECONDS
while [ $((SECONDS - start)) -lt "$seconds" ]; do
  sleep 30
  process_gone "$kova_pid_a" && fail "Ann's KOVA ended"
  process_gone "$kova_pid_b" && fail "Bob's KOVA ended"
  line="$((SECONDS - start)) $(pictures a) $(pictures b) $(rss "$kova_pid_a") $(rss "$kova_pid_b")"
  echo "$line"
  [ $((SECONDS - start)) -ge 60 ] && [ -z "${base:-}" ] && base=$line
done
read -r _ _ _ a0 b0 <<<"$base"
read -r _ _ _ a1 b1 <<<"$line"
echo "memory growth after the first minute: Ann $((a1 - a0)) kB, Bob $((b1 - b0)) kB"
