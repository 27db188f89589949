#!/usr/bin/env bash
# How long Ann's window stops answering, measured from outside (root needed):
# Ann runs with KOVA_UI_STALL, whose 10 ms timer reports each second's worst
# lateness on the UI thread. Two namespace hosts and a third one that floods
# Ann; for each phase the script prints the worst lateness, Ann's resident
# memory and thread count at its end.
#   bash bench/ui_stall.sh [build] [seconds per phase]
set -uo pipefail
build=${1:-build}
seconds=${2:-5}
kova=$(realpath "$build/kova")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/e2e/lib.sh"

start_two_hosts
add_stranger
set_up_ann_and_bob
export KOVA_UI_STALL=1
start_ann_and_bob "$kova"

# A background flood from the third host for the phase's length.
flood() {
  ip netns exec "$ns_c" /usr/bin/python3 - "$seconds" "$@" <<'PY' &
import socket, sys, time
seconds, kind = float(sys.argv[1]), sys.argv[2]
ann = "198.51.100.1"
end = time.time() + seconds
def udp(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("198.51.100.3", port))
    return s
def call(cmd):
    return bytes([cmd]) + bytes(455)
if kind == "control":
    s = udp(6321)
    msgs = [call(111), call(119), call(113), call(121), bytes([112, 0]), bytes([118, 0]),
            bytes([115, 0]), bytes([126, 0])]
    while time.time() < end:
        for m in msgs:
            s.sendto(m, (ann, 6321))
        time.sleep(0.001)
elif kind == "media":
    v, a = udp(6323), udp(6324)
    while time.time() < end:
        for _ in range(20):
            v.sendto(b"\xff" * 1400, (ann, 6323))
            a.sendto(b"\x00" * 300, (ann, 6324))
        time.sleep(0.001)
elif kind == "files":
    conns, opened, refused = [], 0, 0
    while time.time() < end:
        for _ in range(200 - len(conns)):
            c = socket.socket()
            c.settimeout(1)
            try:
                c.connect((ann, 6327))
                c.send(b"\x01" * 64)
                conns.append(c)
                opened += 1
            except OSError:
                c.close()
        time.sleep(0.2)
        alive = []
        for c in conns:
            try:
                c.setblocking(False)
                answer = c.recv(16)
                if answer[:1] == b"z":
                    refused += 1
                if answer == b"" or answer[:1] == b"z":
                    c.close()
                    continue
            except BlockingIOError:
                pass
            except OSError:
                c.close()
                continue
            alive.append(c)
        conns = alive
    print(f"  ({opened} offer connections, {refused} refused at once)")
elif kind == "chat":
    s = udp(6326)
    text = ("flood " * 40).encode("utf-16-le")
    while time.time() < end:
        for _ in range(50):
            s.sendto(text, (ann, 6326))
        time.sleep(0.005)
PY
  flood_pid=$!
}

phase_start=1
report() {
  local name=$1 worst rss threads
  worst=$(tail -n +"$phase_start" "$work/a.log" |
    awk '/^ui-stall: max/ { if ($3 > w) w = $3 } END { print w + 0 }')
  rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$kova_pid_a/status" 2>/dev/null)
  threads=$(awk '/^Threads/ { print $2 }' "/proc/$kova_pid_a/status" 2>/dev/null)
  printf '%-28s %10s %10s %8s\n' "$name" "$worst" "$((${rss:-0} / 1024))" "${threads:-?}"
  phase_start=$(($(wc -l < "$work/a.log") + 1))
}

run_phase() {
  local name=$1
  shift
  "$@"
  sleep "$seconds"
  [ -z "${flood_pid:-}" ] || wait "$flood_pid"
  flood_pid=
  report "$name"
}

printf '%-28s %10s %10s %8s\n' phase worst_ms rss_MB threads
sleep 2
phase_start=$(($(wc -l < "$work/a.log") + 1))
run_phase "idle" true

# A chat window for the stranger (its request accepted), then thousands of
# messages into it.
stranger_send 6321 198.51.100.1 6321 "$(call_datagram_hex 119 Mallory)"
accept_on a
wait_for 10 logged a "balloon: :)" || fail "no chat window for the stranger"
# Out of the way of the main window's buttons.
on a xdotool search --onlyvisible --name '^Mallory$' windowmove 700 400
phase_start=$(($(wc -l < "$work/a.log") + 1))
run_phase "chat flood" flood chat

click_band a 5
accept_on b
wait_for 15 logged a "pictures shown: 1" || fail "the call did not start"
phase_start=$(($(wc -l < "$work/a.log") + 1))
run_phase "call" true
run_phase "call + control flood" flood control
run_phase "call + media flood" flood media
run_phase "call + 200 file offers" flood files
sleep 3
report "call, 3 s after the floods"

logged a "pictures shown: " || fail "no pictures"
[ -z "${KEEP_LOG:-}" ] || cp "$work/a.log" "$KEEP_LOG"
