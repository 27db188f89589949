#!/usr/bin/env bash
# Installs the Debian 12 packages KOVA needs to build, run and test.
# Idempotent and quick when nothing is missing: apt is only called for what
# dpkg does not already list as installed.
set -euo pipefail

packages=(
  # build
  g++ cmake make pkg-config clang-format
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libasound2-dev libavcodec-dev libavutil-dev libswscale-dev libv4l-dev
  libminiupnpc-dev libnatpmp-dev libwebrtc-audio-processing-dev libpulse-dev
  # the Debian package and its checks
  dpkg-dev file lintian desktop-file-utils appstream
  # run on a headless machine, and the tests' own hosts, sound and tools
  xvfb xauth xdotool x11-utils imagemagick fonts-dejavu-core
  pulseaudio pulseaudio-utils libasound2-plugins alsa-utils
  iproute2 nftables sox ffmpeg unrtf python3
  dbus
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "install-deps: need root or sudo to install ${missing[*]}" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
