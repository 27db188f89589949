#!/usr/bin/env bash
# The Debian package, made by cpack in the build folder of the kova given:
# lintian finds no error in it, its menu entry and AppStream metadata are
# valid; installed into this machine's root, /usr/bin/kova shows its skinned
# main window from the installed pictures alone (the source tree's are hidden
# from it), and removing the package leaves none of its files behind.
set -uo pipefail
kova=$1
build=$(cd "$(dirname "$kova")" && pwd)
. "$(dirname "$0")/lib.sh"
[ "$(id -u)" -eq 0 ] || skip "installing the package needs root"
need apt-get dpkg-deb cpack lintian desktop-file-validate appstreamcli unshare import convert identify xprop
if [ "$(dpkg-query -W -f='${db:Status-Status}' kova 2>/dev/null)" = installed ]; then
  skip "a kova package is installed here already; the test does not replace it"
fi
sources=$(sed -n 's/^kova_SOURCE_DIR:STATIC=//p' "$build/CMakeCache.txt")
[ -d "$sources/assets" ] || fail "no source tree found from $build/CMakeCache.txt"
start_session

installed=0
remove_package() {
  [ "$installed" = 1 ] && DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq kova >/dev/null 2>&1
  end_session
}
trap remove_package EXIT

rm -f "$build"/kova_*.deb
(cd "$build" && cpack -G DEB) > "$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
deb=$(ls "$build"/kova_*.deb)
echo "package: $deb"
lintian --fail-on error "$deb" || fail "lintian found errors"

unpacked="$work/unpacked"
dpkg-deb -x "$deb" "$unpacked"
for f in bin/kova share/kova/Pictures/153.png share/kova/Pictures/153@2x.png \
  share/kova/Audio/RingIn.wav share/kova/Help/HelpKova.htm share/applications/kova.desktop \
  share/metainfo/org.example.kova.metainfo.xml share/man/man1/kova.1.gz share/doc/kova/copyright; do
  [ -f "$unpacked/usr/$f" ] || fail "the package has no /usr/$f"
done
for size in 16 24 32 48 64 128 256; do
  icon="$unpacked/usr/share/icons/hicolor/${size}x$size/apps/kova.png"
  [ "$(identify -format %wx%h "$icon" 2>/dev/null)" = "${size}x$size" ] ||
    fail "no ${size} px icon of that size in the package"
done
desktop="$unpacked/usr/share/applications/kova.desktop"
desktop-file-validate "$desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$unpacked"/usr/share/metainfo/*.xml || fail "the metainfo is not valid"

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "$deb" > "$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get could not install the package"; }
installed=1
files=$(dpkg -L kova)

# The program folder of the fresh home is empty and the source tree's assets
# are covered by an empty folder in a mount namespace of kova's own: every
# picture shown comes from /usr/share/kova.
write_profile "Ann" "ann@example.org"
write_settings IV50
unshare -m sh -c 'mount -t tmpfs -o ro kova-no-assets "$1" && exec /usr/bin/kova' sh "$sources/assets" \
  > "$work/kova.log" 2>&1 &
pid=$!
title="KOVA - Open Meeting Room"
wait_for 20 visible_window "$title" || { cat "$work/kova.log"; fail "/usr/bin/kova shows no main window"; }
window=$(visible_window "$title" | head -n 1)
[ -z "$(ls -A "$sources/assets")" ] && fail "the source tree's assets were hidden from the test as well"

# The window icon is picture 153 itself, set only when the picture was found.
xprop -id "$window" -notype 32c _NET_WM_ICON | grep -q '= 64, 64,' || fail "the main window has no icon from picture 153"
wm_class=$(xprop -id "$window" WM_CLASS | sed -n 's/.*", "\(.*\)"$/\1/p')
grep -qx "StartupWMClass=$wm_class" "$desktop" || fail "WM_CLASS $wm_class is not the desktop entry's StartupWMClass"
# Without its pictures the window is plain white; with them the status band
# across the bottom is the skin's blue.
skinned() {
  import -window "$window" "$work/main.png" || return 1
  local rgb
  rgb=$(convert "$work/main.png" -gravity South -crop 1x1+0+57 +repage \
    -format '%[fx:int(255*r)] %[fx:int(255*b)]' info: 2>/dev/null)
  [ "${rgb% *}" -lt 100 ] && [ "${rgb#* }" -gt 150 ]
}
wait_for 10 skinned || fail "the main window is drawn without its pictures"
kill -TERM "$pid"
wait_for 20 process_gone "$pid" || fail "SIGTERM did not end /usr/bin/kova"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq -o Dpkg::Options::=--force-unsafe-io kova > "$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get could not remove the package"; }
installed=0
dpkg -L kova >/dev/null 2>&1 && fail "dpkg still lists files of kova after its removal"
while read -r path; do
  [ -e "$path" ] || continue
  [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1 && continue
  fail "$path is left after removing the package"
done <<< "$files"
echo "PASS: the package passed lintian and the validators, installed, showed its pictures and left nothing behind"
