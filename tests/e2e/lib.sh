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
  exec {xvfb_fd}< <(setsid Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
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
