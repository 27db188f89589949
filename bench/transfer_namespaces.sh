#!/usr/bin/env bash
# Transfer throughput between two hosts of our own (network namespaces joined
# by a veth pair, 198.51.100.1 -> 198.51.100.2), for KOVA, the plain streaming
# copy and the strict stop-and-wait C pair in one run; then the same through a
# relay on 198.51.100.3 that holds every byte 10 ms each way (a 20 ms round
# trip: this kernel has no netem); then KOVA to KOVA the other way round.
# Needs root.   bash bench/transfer_namespaces.sh [BUILD_DIR] [benchmark args]
#
# KOVA_BENCH_MB (256) sizes the files; the strict senders at 20 ms move
# KOVA_BENCH_SLOW_MB (2), as they manage some 4096 bytes per round trip.
#
# The relay ends TCP on both sides and buffers, so the streaming copy through
# it is not held by the round trip; the answered transfers are, which is what
# the 20 ms case is for. Seen on the shared 2-core test machine (MiB/s, 256 MiB):
#                       veth .1->.2  veth .2->.1  20 ms RTT
#   streaming copy          637          840         562
#   KOVA -> KOVA            657          786         156
#   KOVA -> strict C        167           -          118
#   strict C -> KOVA        133           -          0.19
#   strict C -> strict C    138           -          0.19
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
ip -n "$ns_b" addr add 198.51.100.3/24 dev "bb$$"
for ns in "$ns_a" "$ns_b"; do ip -n "$ns" link set lo up; done
ip -n "$ns_a" link set "ba$$" up
ip -n "$ns_b" link set "bb$$" up

export QT_QPA_PLATFORM=offscreen HOME="$work" XDG_RUNTIME_DIR="$work"
# Receivers on .2: KOVA (6327), the strict C one (6328), the streaming copy (6329).
ip netns exec "$ns_b" "$bench" --serve 198.51.100.2 >"$work/serve.log" 2>&1 &
ip netns exec "$ns_b" "$baseline" serve 198.51.100.2 6328 "$work/strict.bin" &
ip netns exec "$ns_b" "$baseline" serve 198.51.100.2 6329 "$work/stream.bin" stream &
relays=()
for port in 6327 6328 6329; do
  ip netns exec "$ns_b" "$baseline" relay 198.51.100.3 $port 198.51.100.2 $port 10 &
  relays+=($!)
done
sleep 1

run() {
  local from=$1 peer=$2 bind=$3
  shift 3
  ip netns exec "$from" env KOVA_BENCH_PEER="$peer" KOVA_BENCH_BIND="$bind" "$bench" "$@" 2>&1 |
    grep -v propagateSizeHints
}
echo "== veth, 198.51.100.1 -> 198.51.100.2"
run "$ns_a" 198.51.100.2 198.51.100.1 "${@:2}"
echo "== 20 ms round trip (relay on 198.51.100.3), 198.51.100.1 -> 198.51.100.2"
KOVA_BENCH_STRICT_MB=${KOVA_BENCH_SLOW_MB:-2} run "$ns_a" 198.51.100.3 198.51.100.1 "${@:2}"
# The way back: KOVA on .1 (where the sender listened so far) and a sender
# on .3, the relays' address until now.
kill "${relays[@]}"
ip netns exec "$ns_a" "$bench" --serve 198.51.100.1 >"$work/serve_a.log" 2>&1 &
ip netns exec "$ns_a" "$baseline" serve 198.51.100.1 6329 "$work/stream_a.bin" stream &
sleep 1
echo "== veth, the other way: 198.51.100.3 -> 198.51.100.1"
run "$ns_b" 198.51.100.1 198.51.100.3 --benchmark_filter='BM_StreamCopy|BM_KovaTransfer' "${@:2}"
