#!/usr/bin/env bash
# Mouth-to-ear delay of a call as a listener hears it, measured from outside
# the program (root needed). Two namespace hosts share ONE PulseAudio server,
# so Ann's microphone and Bob's loudspeaker are two channels of one null sink:
# a 40 ms 1 kHz burst goes into Ann's microphone once a second and one stereo
# recording holds both ends on one clock. GSM 6.10 both ways.
# For each buffer length, CALLS calls of SECONDS each: the delay of every
# call (the median of its bursts) and over the calls the median, min and max,
# with the underruns Bob's KOVA logged.
#   bash bench/mouth_to_ear.sh [build] [calls] [seconds] [buffer lengths...]
#   bash bench/mouth_to_ear.sh build 1 300 50     # a 5-minute call
# MTE_KEEP=DIR keeps the last call's recording and both logs there.
# MTE_PROCESSING=0 turns echo cancellation, noise suppression and gain control
# off on both sides (default 1: on, as a new user has them).
set -uo pipefail
build=${1:-build}
calls=${2:-5}
seconds=${3:-20}
shift $(($# < 3 ? $# : 3))
buffers=("${@:-50 100 200}")
read -ra buffers <<<"${buffers[*]}"
kova=$(realpath "$build/kova")
here=$(cd "$(dirname "$0")" && pwd)
. "$here/../tests/e2e/lib.sh"
need pulseaudio pactl paplay parec python3

start_two_hosts
set_up_ann_and_bob

# The one sound server. "mix" is the clock: its left channel is Ann's
# microphone (the burst is played into it), its right channel Bob's
# loudspeaker. Ann's loudspeaker and Bob's microphone are null sinks of
# their own, and the default devices an idle pair, so that a mixer step of
# either side touches neither end.
start_shared_pulse() {
  local dir="$work/pulse"
  mkdir -p "$dir/run" && chmod 700 "$dir/run"
  cat >"$dir/default.pa" <<PA
load-module module-null-sink sink_name=mix rate=8000 channels=2 channel_map=front-left,front-right
load-module module-remap-source source_name=ann_mic master=mix.monitor channels=1 master_channel_map=front-left channel_map=mono remix=no
load-module module-remap-sink sink_name=bob_spk master=mix channels=1 master_channel_map=front-right channel_map=mono remix=no
load-module module-null-sink sink_name=ann_spk rate=8000 channels=1
load-module module-null-sink sink_name=bob_mic rate=8000 channels=1
load-module module-null-sink sink_name=idle rate=8000 channels=1
load-module module-native-protocol-unix auth-anonymous=1
set-default-sink idle
set-default-source idle.monitor
PA
  HOME=$dir XDG_RUNTIME_DIR=$dir/run pulseaudio -D --system=false --exit-idle-time=-1 -n \
    --file="$dir/default.pa" --daemonize=yes 2>/dev/null || skip "pulseaudio did not start"
  wait_for 10 test -S "$dir/run/pulse/native" || skip "pulseaudio has no socket"
  pulse_a=unix:$dir/run/pulse/native
  pulse_b=$pulse_a
  export PULSE_SERVER=$pulse_a
  # ALSA's "default" is the server's default device (the system's own
  # configuration says so); each side's devices are its environment's.
  local side
  for side in a b; do
    printf '%s\n' 'pcm.!default { type pulse }' 'ctl.!default { type pulse }' >"$work/$side/home/.asoundrc"
  done
}
# lib.sh's stop_pulse only looks in the hosts' folders.
stop_shared_pulse() {
  kill "$(cat "$work/pulse/run/pulse/pid" 2>/dev/null)" 2>/dev/null
  end_two_hosts
}
start_shared_pulse
trap stop_shared_pulse EXIT

# Stereo at 8 kHz: the burst once a second on the left, silence on the right.
python3 - "$work/bursts.wav" "$((seconds + 5))" <<'PY'
import array, math, sys, wave
path, n = sys.argv[1], int(sys.argv[2])
x = array.array("h", bytes(4 * 8000 * n))
for s in range(n):
    for i in range(320):
        x[2 * (s * 8000 + i)] = int(12000 * math.sin(2 * math.pi * 1000 * i / 8000))
with wave.open(path, "wb") as w:
    w.setnchannels(2)
    w.setsampwidth(2)
    w.setframerate(8000)
    w.writeframes(x.tobytes())
PY

# delays RAW: one line per burst found on both channels, its delay in ms.
# Both onsets are where the 1 kHz amplitude over 5 ms first reaches half the
# burst's peak, so the filter's own delay cancels.
delays() {
  python3 - "$1" <<'PY'
import array, math, sys
x = array.array("h", open(sys.argv[1], "rb").read())
left, right = x[0::2], x[1::2]
def amplitude(ch):
    n, out = 40, []
    c = [math.cos(2 * math.pi * 1000 * k / 8000) for k in range(n)]
    s = [math.sin(2 * math.pi * 1000 * k / 8000) for k in range(n)]
    for i in range(0, len(ch) - n, 4):
        b = ch[i:i + n]
        re = sum(v * w for v, w in zip(b, c))
        im = sum(v * w for v, w in zip(b, s))
        out.append(2 * math.hypot(re, im) / n)
    return out  # one value per 0.5 ms
def onset(a, start, end, floor):
    peak = max(a[start:end], default=0)
    if peak < floor:
        return None
    return next(i for i in range(start, end) if a[i] >= peak / 2)
al, ar = amplitude(left), amplitude(right)
i = 0
while i < len(al):
    if al[i] < 3000:
        i += 1
        continue
    t0 = onset(al, i, min(i + 100, len(al)), 3000)
    t1 = onset(ar, t0, min(t0 + 1800, len(ar)), 300)  # up to 900 ms later
    if t1 is not None:
        print("%.1f" % ((t1 - t0) / 2))
    i += 1000  # the next second
PY
}

stats() {
  sort -n | awk '{ v[n++] = $1 } END { if (n) printf "%s %s %s %d", v[int((n - 1) / 2)], v[0], v[n - 1], n; else print "- - - 0" }'
}

# one_call BUFFER N: sets DELAY (the call's median, ms), BURSTS and UNDERRUNS.
one_call() {
  local side
  for side in a b; do
    on $side write_settings MJPG
    printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8)))" |
      dd of="$work/$side/home/.config/kova/avset.cfg" bs=1 seek=192 conv=notrunc status=none
    audio_processing $side "${MTE_PROCESSING:-1}" "${MTE_PROCESSING:-1}" "${MTE_PROCESSING:-1}"
  done
  PULSE_SINK=ann_spk PULSE_SOURCE=ann_mic kova_on a "$kova"
  PULSE_SINK=bob_spk PULSE_SOURCE=bob_mic.monitor kova_on b "$kova"
  on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"
  on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"
  click_band a 5
  accept_on b
  wait_for 10 logged a "balloon: Connected:" || fail "call $2 at $1 ms did not start"
  wait_for 10 logged b "balloon: Connected:" || fail "Bob's conference $2 at $1 ms did not start"
  sleep 4 # Bob's ring ends
  parec --device=mix.monitor --format=s16le --rate=8000 --channels=2 --latency-msec=20 \
    >"$work/rec.raw" &
  local rec=$!
  paplay --device=mix --latency-msec=20 "$work/bursts.wav" &
  local mic=$!
  sleep "$seconds"
  kill "$mic" "$rec" 2>/dev/null
  wait "$mic" "$rec" 2>/dev/null
  # Counted over the recording only, and the call ended before the analysis
  # takes the processor.
  UNDERRUNS=$(grep -c "output underrun" "$work/b.log")
  kill -TERM "$kova_pid_a" "$kova_pid_b"
  wait_for 20 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end"
  wait_for 20 process_gone "$kova_pid_b" || fail "Bob's KOVA did not end"
  [ -z "${MTE_KEEP:-}" ] || cp "$work/rec.raw" "$work/a.log" "$work/b.log" "$MTE_KEEP/"
  delays "$work/rec.raw" >"$work/call.txt"
  read -r DELAY _ _ BURSTS < <(stats <"$work/call.txt")
}

echo "buffer_ms call delay_ms bursts underruns"
summary=()
for buffer in "${buffers[@]}"; do
  : >"$work/calls.txt"
  total=0
  for n in $(seq "$calls"); do
    one_call "$buffer" "$n"
    echo "$buffer $n $DELAY $BURSTS $UNDERRUNS"
    [ "$DELAY" = - ] || echo "$DELAY" >>"$work/calls.txt"
    total=$((total + UNDERRUNS))
  done
  read -r med lo hi _ < <(stats <"$work/calls.txt")
  summary+=("buffer $buffer ms: mouth-to-ear median $med ms, min $lo, max $hi over $calls calls of ${seconds} s; $total underruns")
done
printf '%s\n' "${summary[@]}"
