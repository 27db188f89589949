#!/usr/bin/env bash
# Echo through a real call between two hosts: Bob's loudspeaker reaches his
# microphone 60 ms later, about 9 dB down, as a room carries it. Ann talks (two
# tones in phrases, as one talks on, not one endless tone, which no one says
# and which gives a canceller little to learn the room from) and listens to
# what comes back. Bob is called twice, his audio processing off and then his
# echo canceller alone on; each time, once his ring has ended, Ann's own tones
# at her loudspeaker are measured for 5 s, then Bob talks too (a voiced tone,
# 175 Hz and its harmonics, in 200 ms syllables) and his voice at her
# loudspeaker is measured. The canceller takes at least 20 dB off her echo and
# keeps his voice within 3 dB. Then Ann talks in a noisy room, her noise
# suppression off and on: at Bob's loudspeaker the noise is at least 10 dB
# lower and her voice within 3 dB.
set -uo pipefail
kova=$1
. "$(dirname "$0")/lib.sh"
need python3 paplay pactl
start_two_hosts
set_up_ann_and_bob
start_pulse a quiet
start_pulse b quiet
loop_speaker_to_mic b 60 70%

ann_hz=(440 1000)
# Bob's voice is voiced, as speech is: a single sine fills one bin of the
# suppressor's band, which then takes it for what the linear filter left of
# steady echo and costs it 3-20 dB by where it falls; a fundamental with its
# harmonics keeps within 1-3 dB. Its level is measured at the harmonics away
# from Ann's tones.
bob_tones=() bob_hz=()
for h in $(seq 1 12); do
  f=$((175 * h))
  bob_tones+=("$f:$((4000 / h))")
  [ $(((f - 440) * (f - 440))) -gt 10000 ] && [ $(((f - 1000) * (f - 1000))) -gt 10000 ] && bob_hz+=("$f")
done
voice_hz=700

# tone_wav FILE SECONDS SYLLABLES NOISE HZ:AMPLITUDE...: 8 kHz mono PCM of those
# tones, steady (SYLLABLES=0), in 200 ms syllables with 200 ms pauses (1), or
# as one talks on (2): phrases of 150-450 ms with breaths of 40-120 ms between,
# over white noise of that deviation.
tone_wav() {
  python3 - "$@" <<'PY'
import array, math, random, sys, wave
path, seconds, syllables, noise = sys.argv[1], int(sys.argv[2]), sys.argv[3], float(sys.argv[4])
tones = [tuple(map(float, t.split(":"))) for t in sys.argv[5:]]
rng = random.Random(7)
total = seconds * 8000
on = bytearray([1]) * total
if syllables == "1":
    on = bytearray(0 if (i // 1600) % 2 else 1 for i in range(total))
elif syllables == "2":
    i = 0
    while i < total:
        i += 8 * rng.randint(150, 450)
        gap = 8 * rng.randint(40, 120)
        on[i:i + gap] = bytes(len(on[i:i + gap]))
        i += gap
x = array.array("h")
for i in range(total):
    v = sum(a * math.sin(2 * math.pi * f * i / 8000) for f, a in tones) if on[i] else 0.0
    x.append(max(-32768, min(32767, int(v + (rng.gauss(0, noise) if noise else 0)))))
with wave.open(path, "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(8000)
    w.writeframes(x.tobytes())
PY
}

# level FILE HZ...: the level in dB of full scale of those tones together in a
# recording, from Hann-windowed 50 ms blocks (20 Hz bins: the other tones, a
# few hundred Hz off, fall far below the window's side lobes).
# level FILE noise: the mean of the bins from 1500 to 3800 Hz, away from every
# tone: the noise floor. With HALVES=1 the median level of the recording's
# half seconds follows: what one hears for most of it, past a short burst.
level() {
  python3 - "$@" <<'PY'
import array, math, os, sys, wave
with wave.open(sys.argv[1]) as w:
    x = array.array("h", w.readframes(w.getnframes()))
floor = sys.argv[2:] == ["noise"]
hzs = range(1500, 3800, 37) if floor else [float(h) for h in sys.argv[2:]]
n = 400
win = [0.5 - 0.5 * math.cos(2 * math.pi * k / n) for k in range(n)]
gain = sum(win)
kernels = [[(win[k] * math.cos(2 * math.pi * hz * k / 8000), win[k] * math.sin(2 * math.pi * hz * k / 8000))
            for k in range(n)] for hz in hzs]
powers = []
for start in range(0, len(x) - n + 1, n):
    block = x[start:start + n]
    p = 0.0
    for kernel in kernels:
        re = sum(s * c for s, (c, _) in zip(block, kernel))
        im = sum(s * d for s, (_, d) in zip(block, kernel))
        # A sine of amplitude A gives (A / 2)^2 in its bin.
        p += 4 * (re * re + im * im) / (gain * 32768) ** 2
    powers.append(p / (len(kernels) if floor else 1))
db = lambda p: "%.1f" % (10 * math.log10(max(p, 1e-12)))
out = [db(sum(powers) / max(len(powers), 1))]
if os.environ.get("HALVES") == "1":
    halves = sorted(sum(powers[i:i + 10]) / len(powers[i:i + 10]) for i in range(0, len(powers), 10))
    out.append(db(halves[len(halves) // 2] if halves else 0))
print(" ".join(out))
PY
}

tone_wav "$work/ann.wav" 120 2 0 "${ann_hz[0]}:6000" "${ann_hz[1]}:3000"
tone_wav "$work/bob.wav" 30 1 0 "${bob_tones[@]}"
audio_processing a 0 0 0
play_into_mic a "$work/ann.wav"
ann_mic=$MIC_PID
kova_on a "$kova"
on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"

# bob_call N EC NS AGC: call N with Bob's switches so; ECHO and VOICE are Ann's
# tones and Bob's at her loudspeaker, in dB of full scale.
bob_call() {
  local n=$1
  audio_processing b "$2" "$3" "$4"
  kova_on b "$kova"
  on b wait_for 20 visible_window "$title" || fail "Bob's window did not show (call $n)"
  click_band a 5 # Connect; Bob, her only contact, is selected
  accept_on b
  connected() { [ "$(grep -c 'balloon: Connected:|Bob|198.51.100.2' "$work/a.log")" -ge "$n" ]; }
  wait_for 10 connected || fail "Ann's call $n did not start"
  wait_for 10 logged b "balloon: Connected:|Ann|198.51.100.1" || fail "Bob's conference $n did not start"
  # Bob's ring (3 s from the call's arrival) has ended, and the canceller has had
  # time to converge: neither sound server reports its latency exactly.
  sleep 3
  record_sink a 5 "$work/echo-$n.wav" || fail "could not record Ann's loudspeaker (call $n)"
  play_into_mic b "$work/bob.wav"
  sleep 1
  record_sink a 5 "$work/talk-$n.wav" || fail "could not record Ann's loudspeaker (call $n)"
  kill "$MIC_PID"
  read -r ECHO ECHO_MOSTLY < <(HALVES=1 level "$work/echo-$n.wav" "${ann_hz[@]}")
  VOICE=$(level "$work/talk-$n.wav" "${bob_hz[@]}")
  echo "call $n (Bob's echo cancellation $2, noise suppression $3, gain control $4): Ann's echo $ECHO dB (half-second median $ECHO_MOSTLY dB), Bob's voice $VOICE dB"
  kill -TERM "$kova_pid_b"
  wait_for 20 process_gone "$kova_pid_b" || fail "Bob's KOVA did not end (call $n)"
  hung_up() { [ "$(grep -c 'balloon: Disconnect from Bob' "$work/a.log")" -ge "$n" ]; }
  wait_for 10 hung_up || fail "Ann did not hear Bob's hang-up (call $n)"
}

bob_call 1 0 0 0
echo_off=$ECHO voice_off=$VOICE
awk -v e="$echo_off" 'BEGIN { exit !(e > -40) }' || fail "no echo came back to Ann with Bob's processing off ($echo_off dB)"
awk -v v="$voice_off" 'BEGIN { exit !(v > -40) }' || fail "Bob's voice did not reach Ann ($voice_off dB)"
bob_call 2 1 0 0
# Judged by what Ann hears for most of the call: now and then the echo comes
# back for half a second, which the mean over 5 s reports beside it. The
# reference is the mean of the call without the canceller, the lower of the two.
erle=$(awk -v a="$echo_off" -v b="$ECHO_MOSTLY" 'BEGIN { printf "%.1f", a - b }')
erle_mean=$(awk -v a="$echo_off" -v b="$ECHO" 'BEGIN { printf "%.1f", a - b }')
loss=$(awk -v a="$voice_off" -v b="$VOICE" 'BEGIN { printf "%.1f", a - b }')
kill "$ann_mic"
echoes="Ann's echo $erle dB lower with Bob's echo canceller on for most of the call ($echo_off -> $ECHO_MOSTLY dB; $erle_mean dB by the mean, $ECHO dB), his voice while she talks $loss dB lower ($voice_off -> $VOICE dB)"
echo "$echoes"
echo_ok=$(awk -v e="$erle" -v l="$loss" 'BEGIN { print (e >= 20) (l <= 3 && l >= -3) }')

# Ann in a noisy room, Bob listening; her switches are read at her start.
kill -TERM "$kova_pid_a"
wait_for 20 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end"
tone_wav "$work/noisy.wav" 40 1 700 "$voice_hz:4000"
play_into_mic a "$work/noisy.wav"
audio_processing b 0 0 0
kova_on b "$kova"
on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"

# ann_call N NS: call N from Ann with her noise suppression so; NOISE and VOICE
# are the noise floor and her voice at Bob's loudspeaker.
ann_call() {
  local n=$1
  audio_processing a 0 "$2" 0
  kova_on a "$kova"
  on a wait_for 20 visible_window "$title" || fail "Ann's window did not show (noisy call $n)"
  click_band a 5
  accept_on b
  connected() { [ "$(grep -c 'balloon: Connected:|Ann|198.51.100.1' "$work/b.log")" -ge "$n" ]; }
  wait_for 10 connected || fail "Bob's noisy call $n did not start"
  wait_for 10 logged a "balloon: Connected:|Bob|198.51.100.2" || fail "Ann's noisy call $n did not start"
  sleep 3 # past Bob's ring, which his loudspeaker plays too
  record_sink b 5 "$work/noisy-$n.wav" || fail "could not record Bob's loudspeaker (noisy call $n)"
  NOISE=$(level "$work/noisy-$n.wav" noise)
  VOICE=$(level "$work/noisy-$n.wav" "$voice_hz")
  echo "noisy call $n (Ann's noise suppression $2): noise $NOISE dB, her voice $VOICE dB"
  kill -TERM "$kova_pid_a"
  wait_for 20 process_gone "$kova_pid_a" || fail "Ann's KOVA did not end (noisy call $n)"
  hung_up() { [ "$(grep -c 'balloon: Disconnect from Ann' "$work/b.log")" -ge "$n" ]; }
  wait_for 10 hung_up || fail "Bob did not hear Ann's hang-up (noisy call $n)"
}

ann_call 1 0
noise_off=$NOISE voice_off=$VOICE
awk -v v="$voice_off" 'BEGIN { exit !(v > -40) }' || fail "Ann's voice did not reach Bob ($voice_off dB)"
ann_call 2 1
drop=$(awk -v a="$noise_off" -v b="$NOISE" 'BEGIN { printf "%.1f", a - b }')
loss=$(awk -v a="$voice_off" -v b="$VOICE" 'BEGIN { printf "%.1f", a - b }')
kill "$MIC_PID"
noisy="the noise of Ann's room $drop dB lower with her noise suppression on ($noise_off -> $NOISE dB), her voice $loss dB lower ($voice_off -> $VOICE dB)"
[ "${echo_ok:0:1}" = 1 ] || fail "too little echo taken off: $echoes; $noisy"
[ "${echo_ok:1:1}" = 1 ] || fail "Bob's voice not kept through double talk: $echoes; $noisy"
awk -v d="$drop" 'BEGIN { exit !(d >= 10) }' || fail "too little noise taken off: $echoes; $noisy"
awk -v l="$loss" 'BEGIN { exit !(l <= 3 && l >= -3) }' || fail "Ann's voice not kept through her noise suppression: $echoes; $noisy"
echo "PASS: $echoes; $noisy"
