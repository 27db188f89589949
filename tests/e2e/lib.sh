# Shared by the process tests: a private X server and home folder per test, and
# helpers that wait with a limit instead of sleeping blindly.

skip() {
  echo "SKIPPED: $*"
  exit 77
}

fail() {
  echo "FAIL: $*"
  exit 1
}

need() {
  for tool in "$@"; do
    command -v "$tool" >/dev/null || skip "$tool is not installed"
  done
}

# Starts Xvfb on a free display and a fresh HOME; cleans both up on exit.
start_session() {
  need Xvfb xdotool
  work=$(mktemp -d)
  export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  exec {xvfb_fd}< <(setsid Xvfb -displayfd 1 -screen 0 ${KOVA_SCREEN:-1280x800}x24 -nolisten tcp 2>/dev/null)
  xvfb_pid=$!
  local display
  read -r -t 20 display <&"$xvfb_fd" || skip "Xvfb did not start"
  export DISPLAY=":$display"
  trap end_session EXIT
}

end_session() {
  local pids
  pids=$(jobs -p)
  [ -z "$pids" ] || kill $pids 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$work"
}

write_profile() {
  printf '[KOVA Video Conference]\r\nName=%s\r\nEMail=%s\r\n' "$1" "$2" > "$XDG_CONFIG_HOME/kova.INI"
}

# avset.cfg with a compressor FourCC, GSM 6.10 sound in a 50 ms buffer and the
# Test Pattern as the stored video source, so that no Devices Properties dialog
# opens at start-up.
# write_settings FOURCC [WIDTH HEIGHT]: a settings file with that compressor,
# GSM 6.10 sound in a 50 ms buffer, the Test Pattern as video source and,
# when given, the capture size asked for.
le32() {
  local v=$1
  printf "\\$(printf %03o $((v & 255)))\\$(printf %03o $(((v >> 8) & 255)))\\$(printf %03o $(((v >> 16) & 255)))\\$(printf %03o $(((v >> 24) & 255)))"
}

write_settings() {
  local f="$XDG_CONFIG_HOME/kova/avset.cfg"
  mkdir -p "${f%/*}"
  head -c 1344 /dev/zero > "$f"
  printf '%s' "$1" | dd of="$f" bs=1 seek=40 conv=notrunc status=none
  printf '\061\000\001\000\100\037\000\000\131\006\000\000\101\000\000\000\002\000\100\001' |
    dd of="$f" bs=1 seek=44 conv=notrunc status=none
  printf '\062\000' | dd of="$f" bs=1 seek=192 conv=notrunc status=none
  printf 'Test Pattern' | iconv -f ASCII -t UTF-16LE | dd of="$f" bs=1 seek=196 conv=notrunc status=none
  if [ $# -ge 3 ]; then
    { le32 40; le32 "$2"; le32 "$3"; printf '\001\000\030\000'; } |
      dd of="$f" bs=1 seek=0 conv=notrunc status=none
  fi
}

# wait_for SECONDS COMMAND...: true once COMMAND succeeds, false after SECONDS.
wait_for() {
  local until=$((SECONDS + $1))
  shift
  while ! "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $until ] || return 1
    sleep 0.1
  done
}

visible_window() {
  xdotool search --onlyvisible --name "^$1\$"
}

no_visible_window() {
  ! visible_window "$1"
}

process_gone() {
  ! kill -0 "$1" 2>/dev/null
}

# The u16 at a byte offset of a file, as a decimal number.
u16_at() {
  od -A n -t u2 -j "$2" -N 2 "$1" | tr -d ' '
}

# Two hosts of our own: network namespaces joined by a veth pair, 198.51.100.1 and
# 198.51.100.2 (a documentation range: nothing outside answers to it). Each host
# gets its own X server and home. Needs root.
start_two_hosts() {
  need ip Xvfb xdotool
  [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
  ns_a="kova_a_$$" ns_b="kova_b_$$"
  ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces here"
  ip netns add "$ns_b"
  ip link add "va$$" type veth peer name "vb$$"
  ip link set "va$$" netns "$ns_a"
  ip link set "vb$$" netns "$ns_b"
  ip -n "$ns_a" addr add 198.51.100.1/24 dev "va$$"
  ip -n "$ns_b" addr add 198.51.100.2/24 dev "vb$$"
  for ns in "$ns_a" "$ns_b"; do
    ip -n "$ns" link set lo up
  done
  ip -n "$ns_a" link set "va$$" up
  ip -n "$ns_b" link set "vb$$" up
  start_host_sessions
}

# The work folder, and for Ann (a) and Bob (b) an X server and a home each.
start_host_sessions() {
  work=$(mktemp -d)
  for side in a b; do
    mkdir -p "$work/$side/home/.config" "$work/$side/run"
    chmod 700 "$work/$side/run"
    local fd display
    exec {fd}< <(setsid Xvfb -displayfd 1 -screen 0 ${KOVA_SCREEN:-1280x800}x24 -nolisten tcp 2>/dev/null)
    eval "xvfb_pid_$side=\$!"
    read -r -t 20 display <&"$fd" || skip "Xvfb did not start"
    eval "display_$side=:$display"
  done
  trap end_two_hosts EXIT
}

end_two_hosts() {
  stop_pulse
  local pids
  pids=$(jobs -p)
  [ -z "$pids" ] || kill $pids 2>/dev/null
  kill "$xvfb_pid_a" "$xvfb_pid_b" 2>/dev/null
  wait 2>/dev/null
  ip netns del "$ns_a" 2>/dev/null
  ip netns del "$ns_b" 2>/dev/null
  [ -z "${ns_c:-}" ] || ip netns del "$ns_c" 2>/dev/null
  [ -z "${ns_r:-}" ] || ip netns del "$ns_r" 2>/dev/null
  rm -rf "$work"
}

# on SIDE COMMAND...: runs a command with that side's display and home.
on() {
  local side=$1
  shift
  local display
  eval "display=\$display_$side"
  DISPLAY=$display HOME="$work/$side/home" XDG_CONFIG_HOME="$work/$side/home/.config" \
    XDG_RUNTIME_DIR="$work/$side/run" "$@"
}

# audio_processing SIDE EC NS AGC: that side's switches in its kova.ini.
audio_processing() {
  mkdir -p "$work/$1/home/.config/kova"
  printf '[AudioProcessing]\r\nEchoCancellation=%s\r\nNoiseSuppression=%s\r\nGainControl=%s\r\n' "$2" "$3" "$4" \
    > "$work/$1/home/.config/kova/kova.ini"
}

# kova_on SIDE KOVA: starts KOVA inside that side's host, its log in $work/SIDE.log.
kova_on() {
  local side=$1 ns display
  local pulse
  eval "ns=\$ns_$side display=\$display_$side pulse=\${pulse_$side:-}"
  # exec all the way down: the pid is KOVA's own, for the signals the test sends.
  (exec env DISPLAY="$display" HOME="$work/$side/home" XDG_CONFIG_HOME="$work/$side/home/.config" \
    XDG_RUNTIME_DIR="$work/$side/run" QT_LOGGING_RULES="${KOVA_LOG_RULES:-kova.*.info=true}" PULSE_SERVER="$pulse" \
    ip netns exec "$ns" "$2" > "$work/$side.log" 2>&1) &
  eval "kova_pid_$side=\$!"
}

logged() {
  grep -q -- "$2" "$work/$1.log"
}

title="KOVA - Open Meeting Room"

# Ann (host a) knows Bob (host b) as her only contact. Both send Motion JPEG
# pictures of the Test Pattern.
set_up_ann_and_bob() {
  on a bash -c 'printf "[KOVA Video Conference]\r\nName=Ann\r\nEMail=ann@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
  on b bash -c 'printf "[KOVA Video Conference]\r\nName=Bob\r\nEMail=bob@example.org\r\n" > "$XDG_CONFIG_HOME/kova.INI"'
  on a bash -c 'mkdir -p "$XDG_CONFIG_HOME/kova" && printf "[main]\r\ncount=1\r\n[0]\r\nname=Bob\r\nmail=bob@example.org\r\naddr=198.51.100.2\r\n" > "$XDG_CONFIG_HOME/kova/clset.cfg"'
  on a write_settings MJPG
  on b write_settings MJPG
}

start_ann_and_bob() {
  kova_on a "$1"
  kova_on b "$1"
  on a wait_for 20 visible_window "$title" || fail "Ann's window did not show"
  on b wait_for 20 visible_window "$title" || fail "Bob's window did not show"
}

# band_button_centre N: BX, BY = the centre of the main window's N-th button
# (1-based, Profile first) inside the window, at QT_SCALE_FACTOR.
band_button_centre() {
  local s=${QT_SCALE_FACTOR:-1}
  BX=$(((28 + 44 * ($1 - 1)) * s))
  BY=$((61 * s))
}

# click_band SIDE N: clicks the N-th button of the main window's band.
click_band() {
  eval "$(on "$1" xdotool getwindowgeometry --shell "$(on "$1" visible_window "$title" | head -n 1)")"
  band_button_centre "$2"
  # --sync waits for the pointer to move: start from elsewhere.
  on "$1" xdotool mousemove 0 0
  on "$1" xdotool mousemove --sync $((X + BX)) $((Y + BY)) click 1
}

# accept_on SIDE: answers the newest question of that side (it carries the main
# window's caption) with Enter.
accept_on() {
  local side=$1
  prompt() { [ "$(on "$side" visible_window "$title" | wc -l)" -ge 2 ]; }
  wait_for 15 prompt || fail "host $side was not asked"
  on "$side" xdotool windowfocus --sync "$(on "$side" visible_window "$title" | tail -n 1)"
  sleep 0.3
  on "$side" xdotool key Return
}

# start_pulse SIDE [quiet]: a PulseAudio of that host's own, with a 440 Hz sine
# (quiet: silence, for play_into_mic) as the microphone and a null sink as the
# loudspeaker; ALSA's "default" reaches it, and "kova_monitor" records what the
# loudspeaker played. Skips without it.
start_pulse() {
  local side=$1 home="$work/$1/home" run="$work/$1/run" sine="load-module module-sine sink=src_sink frequency=440"
  need pulseaudio sox
  [ "${2:-}" != quiet ] || sine=
  cat > "$work/$side/default.pa" <<PA
load-module module-null-sink sink_name=kova_sink rate=8000 channels=1
load-module module-null-sink sink_name=src_sink rate=8000 channels=1
$sine
load-module module-native-protocol-unix
set-default-sink kova_sink
set-default-source src_sink.monitor
PA
  printf '%s\n' 'pcm.!default { type pulse }' 'ctl.!default { type pulse }' \
    'pcm.kova_monitor { type pulse device "kova_sink.monitor" }' > "$home/.asoundrc"
  HOME=$home XDG_RUNTIME_DIR=$run pulseaudio -D --system=false --exit-idle-time=-1 -n \
    --file="$work/$side/default.pa" --daemonize=yes 2>/dev/null || skip "pulseaudio did not start"
  local socket="$run/pulse/native"
  wait_for 10 test -S "$socket" || skip "pulseaudio has no socket"
  eval "pulse_$side=unix:$socket"
}

stop_pulse() {
  local pid
  for pid in "$work"/*/run/pulse/pid; do
    [ -f "$pid" ] && kill "$(cat "$pid")" 2>/dev/null
  done
}

# record_sink SIDE SECONDS FILE: what that host's loudspeaker played.
record_sink() {
  local server
  eval "server=\${pulse_$1:-}"
  on "$1" env PULSE_SERVER="$server" sox -q -t alsa kova_monitor -r 8000 -c 1 "$3" trim 0 "$2"
}

# pulse_on SIDE COMMAND...: a PulseAudio client command against that host's server.
pulse_on() {
  local server
  eval "server=\${pulse_$1:-}"
  on "$1" env PULSE_SERVER="$server" "${@:2}"
}

# play_into_mic SIDE FILE: plays a sound file into that host's microphone (with
# start_pulse quiet) in the background; MIC_PID is the player.
play_into_mic() {
  local server
  eval "server=\${pulse_$1:-}"
  # exec: MIC_PID is the player's own, for stopping it.
  (exec env HOME="$work/$1/home" XDG_CONFIG_HOME="$work/$1/home/.config" XDG_RUNTIME_DIR="$work/$1/run" \
    PULSE_SERVER="$server" paplay --device=src_sink "$2") &
  MIC_PID=$!
}

# loop_speaker_to_mic SIDE MS VOLUME: what that host's loudspeaker plays reaches
# its microphone MS milliseconds later at VOLUME (PulseAudio's cubic scale: 70%
# is about 9 dB down), as a room carries it.
loop_speaker_to_mic() {
  local module input
  module=$(pulse_on "$1" pactl load-module module-loopback source=kova_sink.monitor sink=src_sink \
    latency_msec="$2" source_dont_move=true sink_dont_move=true) || skip "no PulseAudio loopback on host $1"
  input=$(pulse_on "$1" pactl list sink-inputs | awk -v m="$module" '
    /^Sink Input #/ { i = substr($3, 2) } /Owner Module:/ && $3 == m { print i }')
  [ -n "$input" ] || fail "host $1's loopback has no stream"
  pulse_on "$1" pactl set-sink-input-volume "$input" "$3" || fail "host $1's loopback volume was not set"
}

# A third host on the line: 198.51.100.3 in a namespace of its own, with a link
# to each of the two hosts, from which stranger_send puts datagrams on the wire
# as anyone could.
add_stranger() {
  need python3
  ns_c="kova_c_$$"
  ip netns add "$ns_c" || fail "cannot create the third host"
  ip -n "$ns_c" link set lo up
  local side ns last=1
  for side in a b; do
    eval "ns=\$ns_$side"
    ip link add "s$side$$" type veth peer name "c$side$$"
    ip link set "s$side$$" netns "$ns"
    ip link set "c$side$$" netns "$ns_c"
    ip -n "$ns" link set "s$side$$" up
    ip -n "$ns" route add 198.51.100.3/32 dev "s$side$$"
    ip -n "$ns_c" addr add 198.51.100.3/32 dev "c$side$$"
    ip -n "$ns_c" link set "c$side$$" up
    ip -n "$ns_c" route add "198.51.100.$last/32" dev "c$side$$"
    last=2
  done
}

# stranger_send SRC_PORT DST_ADDR DST_PORT HEX [COUNT]: COUNT datagrams (1) of those bytes.
stranger_send() {
  ip netns exec "$ns_c" /usr/bin/python3 - "$@" <<'PY'
import socket, sys
src, dst, dport, data = int(sys.argv[1]), sys.argv[2], int(sys.argv[3]), bytes.fromhex(sys.argv[4])
count = int(sys.argv[5]) if len(sys.argv) > 5 else 1
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("198.51.100.3", src))
for _ in range(count):
    s.sendto(data, (dst, dport))
PY
}

# call_datagram_hex COMMAND [NAME]: a call datagram (456 bytes) with that command
# byte, the ASCII name in its name field and zeros elsewhere.
call_datagram_hex() {
  local name=${2:-} i
  printf '%02x' "$1"
  printf '00%.0s' $(seq 199)
  for ((i = 0; i < ${#name}; i++)); do
    printf '%02x00' "'${name:i:1}"
  done
  printf '00%.0s' $(seq $((256 - 2 * ${#name})))
}

# sigterm_ends PID WHAT: SIGTERM ends KOVA within 2 s with status 0 and leaves a
# whole avset.cfg (1344 bytes, an audio buffer of at least 50 ms).
sigterm_ends() {
  local pid=$1 what=$2 start status f="$XDG_CONFIG_HOME/kova/avset.cfg"
  start=$(date +%s%N)
  kill -TERM "$pid"
  while kill -0 "$pid" 2>/dev/null; do
    [ $((($(date +%s%N) - start) / 1000000)) -lt 2000 ] ||
      fail "SIGTERM with $what did not end the program within 2 s"
    sleep 0.05
  done
  wait "$pid"
  status=$?
  [ "$status" = 0 ] || fail "SIGTERM with $what: exit status $status"
  [ "$(stat -c %s "$f" 2>/dev/null)" = 1344 ] || fail "SIGTERM with $what left no whole avset.cfg"
  [ "$(u16_at "$f" 192)" -ge 50 ] || fail "SIGTERM with $what left a broken avset.cfg"
}

# A home behind a router: Ann (a) at 198.51.100.130/25 on the router's LAN,
# the router (r) at 198.51.100.129 and, outside, 203.0.113.1/24, masquerading
# what leaves there; Bob (b) at 203.0.113.2 with no route into the home.
start_router_hosts() {
  need ip nft python3 Xvfb xdotool
  [ "$(id -u)" -eq 0 ] || skip "network namespaces need root"
  ns_a="kova_home_$$" ns_b="kova_inet_$$" ns_r="kova_rtr_$$"
  ip netns add "$ns_a" 2>/dev/null || skip "cannot create network namespaces here"
  ip netns add "$ns_b"
  ip netns add "$ns_r"
  lan_if="rl$$" wan_if="rw$$"
  ip link add "ha$$" type veth peer name "$lan_if"
  ip link add "ib$$" type veth peer name "$wan_if"
  ip link set "ha$$" netns "$ns_a"
  ip link set "ib$$" netns "$ns_b"
  ip link set "$lan_if" netns "$ns_r"
  ip link set "$wan_if" netns "$ns_r"
  ip -n "$ns_a" addr add 198.51.100.130/25 dev "ha$$"
  ip -n "$ns_r" addr add 198.51.100.129/25 dev "$lan_if"
  ip -n "$ns_r" addr add 203.0.113.1/24 dev "$wan_if"
  ip -n "$ns_b" addr add 203.0.113.2/24 dev "ib$$"
  local ns
  for ns in "$ns_a" "$ns_b" "$ns_r"; do
    ip -n "$ns" link set lo up
  done
  ip -n "$ns_a" link set "ha$$" up
  ip -n "$ns_b" link set "ib$$" up
  ip -n "$ns_r" link set "$lan_if" up
  ip -n "$ns_r" link set "$wan_if" up
  ip -n "$ns_a" route add default via 198.51.100.129
  ip netns exec "$ns_r" sysctl -qw net.ipv4.ip_forward=1
  # The forward chain only counts, so that a test can see media pass.
  ip netns exec "$ns_r" nft -f - <<NFT || skip "nftables does not work here"
table ip kova_nat {
  chain postrouting { type nat hook postrouting priority srcnat; oifname "$wan_if" masquerade; }
}
table ip kova_count {
  chain forward {
    type filter hook forward priority filter;
    iifname "$lan_if" udp dport 6324 counter
    iifname "$wan_if" udp dport 6324 counter
  }
}
NFT
  start_host_sessions
}

# start_igd [OPTION...]: the router's mapping service (tests/e2e/igd), its
# requests logged to $work/igd.log.
start_igd() {
  : > "$work/igd.log"
  (exec ip netns exec "$ns_r" /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/igd/test_igd.py" \
    --lan-if "$lan_if" --wan-if "$wan_if" --lan-addr 198.51.100.129 --wan-addr 203.0.113.1 \
    --log "$work/igd.log" "$@" > "$work/igd.out" 2>&1) &
  igd_pid=$!
  wait_for 10 grep -q ready "$work/igd.out" || fail "the router's mapping service did not start: $(cat "$work/igd.out")"
}

stop_igd() {
  kill -TERM "$igd_pid" 2>/dev/null
  wait "$igd_pid" 2>/dev/null
}

# The number of ports the router forwards inward.
router_mappings() {
  ip netns exec "$ns_r" nft list chain ip kova_nat prerouting 2>/dev/null | grep -c dnat
}

mapped() {
  [ "$(router_mappings)" -eq "$1" ]
}

# The audio datagrams that crossed the router so far in the direction with fewer.
router_audio_packets() {
  ip netns exec "$ns_r" nft list chain ip kova_count forward | awk '
    { for (i = 1; i < NF; i++) if ($i == "packets") c[n++] = $(i + 1) }
    END { print (n < 2 ? 0 : c[0] < c[1] ? c[0] : c[1]) }'
}

# visible_windows SIDE: the ids of that side's visible windows, sorted.
visible_windows() {
  on "$1" xdotool search --onlyvisible --name '.*' 2>/dev/null | sort
}

# new_window SIDE BEFORE: NEW = a visible window of that side not in BEFORE
# (a visible_windows list), waiting up to 10 s for it.
new_window() {
  local until=$((SECONDS + 10))
  while :; do
    NEW=$(comm -13 <(printf '%s\n' "$2") <(visible_windows "$1") | tail -n 1)
    [ -z "$NEW" ] || return 0
    [ $SECONDS -lt $until ] || return 1
    sleep 0.1
  done
}

# send_file SIDE PEER PATH: offers a file from that side's chat window with PEER
# through its "Send File to Contact" button and the open-file dialog.
send_file() {
  local s=${QT_SCALE_FACTOR:-1} before
  eval "$(on "$1" xdotool getwindowgeometry --shell "$(on "$1" visible_window "$2" | head -n 1)")"
  before=$(visible_windows "$1")
  on "$1" xdotool mousemove 0 0
  # The button's centre in a chat window of the default size.
  on "$1" xdotool mousemove --sync $((X + 118 * s)) $((Y + 306 * s)) click 1
  new_window "$1" "$before" || fail "host $1 shows no file dialog"
  on "$1" xdotool windowfocus --sync "$NEW"
  sleep 0.3
  on "$1" xdotool type --delay 5 "$3"
  on "$1" xdotool key Return
}

# save_file SIDE BEFORE: answers the save question that came after BEFORE, and
# the save dialog after it, keeping the suggested path.
save_file() {
  local step before=$2
  for step in question dialog; do
    new_window "$1" "$before" || fail "host $1 was not shown the $step for a file"
    before=$(visible_windows "$1")
    on "$1" xdotool windowfocus --sync "$NEW"
    sleep 0.3
    on "$1" xdotool key Return
  done
}
