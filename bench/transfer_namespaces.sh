#!/usr/bin/env bash
# Transfer throughput between two hosts of our own (network namespaces joined
# by a veth pair, 198.51.100.1 -> 198.51.100.2), for KOVA and the C baseline in one
# run. Needs root.   bash bench/transfer_namespaces.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
bench=$build/bench/transfer_bench
baseline=$build/bench/transfer_baseline
[ -x "$bench" ] && [ -x "$baseline" ] || { echo "build $bench and $baseline first"; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "SKIPPED: network namespaces need root"; exit 77; }

ns_a="kova_ba_$$" ns_b="kova_bb_$$"
work=$(mktemp -d)
cleanup() {
  local pids
  pids=$(jobs -p)
  [ -z "$pids" ] || kill $pids 2>/dev/null
  wait 2>/dev/null || true
  ip netns del "$ns_a" 2>/dev/null || true
  ip netns del "$ns_b" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns_a"
ip netns add "$ns_b"
ip link add "ba$$" type veth peer name "bb$$"
ip link set "ba$$" netns "$ns_a"
ip link set "bb$$" netns "$ns_b"
ip -n "$ns_a" addr add 198.51.100.1/24 dev "ba$$"
ip -n "$ns_b" addr add 198.51.100.2/24 dev "bb$$"
for ns in "$ns_a" "$ns_b"; do ip -n "$ns" link set lo up; done
ip -n "$ns_a" link set "ba$$" up
ip -n "$ns_b" link set "bb$$" up

export QT_QPA_PLATFORM=offscreen HOME="$work" XDG_RUNTIME_DIR="$work"
ip netns exec "$ns_b" "$bench" --serve 198.51.100.2 >"$work/serve.log" 2>&1 &
ip netns exec "$ns_b" "$baseline" serve 198.51.100.2 6328 "$work/baseline.bin" &
sleep 1
ip netns exec "$ns_a" env KOVA_BENCH_PEER=198.51.100.2 KOVA_BENCH_BIND=198.51.100.1 "$bench" "${@:2}"
