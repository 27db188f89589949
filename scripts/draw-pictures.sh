#!/usr/bin/env bash
# Draws the program's pictures into assets/Pictures/<id>.png with ImageMagick.
# Run by hand after changing a drawing; the PNGs are committed.
set -euo pipefail
out=$(dirname "$0")/../assets/Pictures
mkdir -p "$out"
font=DejaVu-Sans-Bold

# 153: the program icon, a camera on a blue tile.
convert -size 64x64 xc:none \
  -fill 'gradient:#3d7fc9-#1f4f8f' -draw "roundrectangle 2,2 61,61 12,12" \
  \( -size 64x64 gradient:'#5c9be0'-'#1e4c8a' \) -compose SrcIn -composite \
  -fill white -draw "roundrectangle 10,20 40,46 5,5" \
  -draw "polygon 40,28 54,20 54,46 40,38" \
  -fill '#1e4c8a' -draw "circle 25,33 25,27" \
  -fill '#9fd0ff' -draw "circle 25,33 25,30" \
  "$out/153.png"

# 160: the start-up splash; pure blue (the colour key) is see-through.
# Hard outer edges: a blended edge pixel would not match the key.
convert -size 380x200 xc:'#0000ff' \
  +antialias -fill '#1f4f8f' -draw "roundrectangle 0,0 379,199 24,24" -antialias \
  -fill '#2d68ad' -draw "roundrectangle 6,6 373,193 20,20" \
  -fill '#81b4e9' -draw "roundrectangle 10,10 369,120 18,18" \
  -fill white -font $font -pointsize 54 -annotate +150+92 'KOVA' \
  \( "$out/153.png" -resize 84x84 \) -geometry +40+22 -composite \
  -fill '#e8f2ff' -font DejaVu-Sans -pointsize 17 -annotate +48+152 'Universal Video Conferencing Tool' \
  -fill '#b9d6f5' -pointsize 13 -annotate +150+180 'Starting...' \
  "$out/160.png"

# 166: the bar colour; column 0 filled, column 1 empty.
convert -size 1x6 gradient:'#9cf08c'-'#2e9a22' \
  \( -size 1x6 gradient:'#3b4a5c'-'#56677a' \) +append "$out/166.png"

# 167: the wait popup; white (the colour key) is see-through. The bar runs at
# x 39, y 12, up to 120 wide; columns 0-160 vanish when there is no bar.
convert -size 200x30 xc:white \
  +antialias -fill '#1f4f8f' -draw "roundrectangle 0,0 160,29 8,8" \
  -draw "circle 181,15 181,1" -antialias \
  -fill '#81b4e9' -draw "roundrectangle 2,2 158,27 7,7" \
  -fill '#3b4a5c' -draw "rectangle 38,11 159,18" \
  -fill '#56677a' -draw "rectangle 39,12 158,17" \
  -fill '#1f4f8f' -draw "roundrectangle 8,8 22,22 3,3" -draw "polygon 22,12 31,8 31,22 22,18" \
  -fill '#1f4f8f' -draw "circle 181,15 181,1" \
  -fill '#81b4e9' -draw "circle 181,15 181,4" \
  -fill '#1f4f8f' -draw "roundrectangle 173,10 184,20 2,2" -draw "polygon 184,13 190,10 190,20 184,17" \
  "$out/167.png"

# 163: the About box picture.
convert -size 96x96 xc:'#ece9d8' \( "$out/153.png" -resize 88x88 \) -geometry +4+4 -composite \
  "$out/163.png"

# Button strips: four 40x40 frames side by side (normal, hover or focus,
# pressed, disabled), a symbol on a rounded tile.
button() {  # id symbol tile-colour [symbol-colour]
  local id=$1 sym=$2 tile=$3 ink=${4:-white} frames=()
  local looks=("$tile:$ink:0" "#ffffff:$tile:0" "$tile:$ink:1" "#b8c4d0:#eef2f6:0")
  for look in "${looks[@]}"; do
    IFS=: read -r bg fg shift <<<"$look"
    local f
    f=$(mktemp --suffix=.png)
    convert -size 40x40 xc:'#d8e6f3' \
      -fill "#1f4f8f" -draw "roundrectangle 1,1 38,38 8,8" \
      -fill "$bg" -draw "roundrectangle 3,3 36,36 7,7" \
      -fill "$fg" -font DejaVu-Sans-Bold -pointsize 20 -gravity center \
      -annotate +$shift+$shift "$sym" "$f"
    frames+=("$f")
  done
  convert "${frames[@]}" +append "$out/$id.png"
  rm -f "${frames[@]}"
}
button 161 '☺' '#2d68ad'
button 136 '+' '#2d68ad'
button 135 '✎' '#2d68ad'
button 134 '✖' '#2d68ad'
button 133 '☎' '#2e9a22'
button 1086 '☎' '#c0392b'
button 174 ':)' '#2d68ad'
button 132 '⚙' '#2d68ad'
button 156 '?' '#2d68ad'

# 171: the close button, on the band's colour (key 157,200,224).
frames=()
for look in '#1f4f8f' '#c0392b' '#8e2a1f' '#9aa8b4'; do
  f=$(mktemp --suffix=.png)
  convert -size 22x22 xc:'#9dc8e0' -fill "$look" -draw "roundrectangle 1,1 20,20 5,5" \
    -stroke white -strokewidth 2 -draw "line 7,7 14,14" -draw "line 14,7 7,14" "$f"
  frames+=("$f")
done
convert "${frames[@]}" +append "$out/171.png"; rm -f "${frames[@]}"

# 164 / 165: available / not available.
convert -size 32x32 xc:none -fill '#1f7a14' -draw "circle 16,16 16,5" -fill '#6be05a' -draw "circle 16,16 16,8" "$out/164.png"
convert -size 32x32 xc:none -fill '#7a7a7a' -draw "circle 16,16 16,5" -fill '#c8c8c8' -draw "circle 16,16 16,8" "$out/165.png"

# 172: the program picture at the top left of the main window.
convert -size 52x52 xc:'#ece9d8' \( "$out/153.png" -resize 48x48 \) -geometry +2+2 -composite "$out/172.png"

# 168: the status panel. Its first 130 columns keep their shape; the rest is
# stretched past the panel's right edge, so it has no right end of its own.
convert -size 400x48 xc:none \
  +antialias -fill '#1f4f8f' -draw "roundrectangle 0,0 420,47 10,10" -antialias \
  \( -size 400x42 gradient:'#3d7fc9'-'#2d68ad' \) -geometry +3+3 -compose Over -composite \
  -fill '#1f4f8f' -draw "rectangle 397,0 399,47" \
  -fill '#5c9be0' -draw "roundrectangle 10,9 40,39 6,6" \
  -fill white -draw "roundrectangle 15,17 30,31 2,2" -draw "polygon 30,21 36,17 36,31 30,27" \
  "$out/168.png"

# 158 / 159: the message dialog's Cancel / OK, a wide pill per frame with a
# cross or a tick at its left (the button's own text goes on the right). Drawn on
# magenta, which the dialog recolours into its own background.
pill() {  # id symbol colour
  local frames=() look
  for look in "$3:white:0" "#ffffff:$3:0" "$3:white:1" "#b8c4d0:#eef2f6:0"; do
    IFS=: read -r bg fg shift <<<"$look"
    local f
    f=$(mktemp --suffix=.png)
    convert -size 96x28 xc:'#ff00ff' \
      +antialias -fill "#1f4f8f" -draw "roundrectangle 0,0 95,27 12,12" -antialias \
      -fill "$bg" -draw "roundrectangle 2,2 93,25 11,11" \
      -fill "$fg" -font DejaVu-Sans-Bold -pointsize 14 -annotate +$((10 + shift))+$((19 + shift)) "$2" "$f"
    frames+=("$f")
  done
  convert "${frames[@]}" +append "$out/$1.png"
  rm -f "${frames[@]}"
}
pill 159 '✔' '#2e9a22'
pill 158 '✖' '#c0392b'

# Chat window buttons: Send, Choose Text Format, Change Background, Send File.
button 1061 '➤' '#2e9a22'
button 1068 'Aa' '#2d68ad'
button 1072 '▦' '#2d68ad'
button 1070 '⇪' '#2d68ad'

# 1064 / 1066: close and minimise on the chat window's caption bar; the
# corners carry the chat background's colour (the key 216,230,243).
caption_button() {  # id symbol-drawing hover-colour
  local id=$1 draw=$2 hover=$3 frames=()
  for look in '#1f4f8f' "$hover" '#143766' '#9aa8b4'; do
    local f
    f=$(mktemp --suffix=.png)
    convert -size 22x22 xc:'#d8e6f3' -fill "$look" -draw "roundrectangle 1,1 20,20 5,5" \
      -stroke white -strokewidth 2 -draw "$draw" "$f"
    frames+=("$f")
  done
  convert "${frames[@]}" +append "$out/$id.png"
  rm -f "${frames[@]}"
}
caption_button 1064 "line 7,7 14,14 line 14,7 7,14" '#c0392b'
caption_button 1066 "line 6,15 15,15" '#3d7fc9'

# 170 / 169: the main window's top band (left, stretched middle, right
# thirds) and body (its first 67 rows keep their height).
convert -size 300x40 gradient:'#5c9be0'-'#2d68ad' \
  -fill '#1f4f8f' -draw "rectangle 0,38 299,39" \
  -fill '#81b4e9' -draw "roundrectangle 4,4 40,34 6,6" "$out/170.png"
convert -size 64x200 xc:'#81b4e9' \
  \( -size 64x67 gradient:'#b9d6f5'-'#81b4e9' \) -geometry +0+0 -composite "$out/169.png"

# Volume sliders (181-185), drawn on black, the colour they leave out. 181 is
# the track, 182 / 183 the microphone's / speakers' top part, 184 / 185 the
# thumb and the pressed thumb. Hard edges: a blended pixel would not be left out.
convert -size 24x88 xc:black +antialias \
  -fill '#1f4f8f' -draw "roundrectangle 9,2 14,85 2,2" \
  -fill '#d8e6f3' -draw "rectangle 11,4 12,83" \
  -fill '#1f4f8f' -draw "line 3,4 6,4 line 3,44 6,44 line 3,83 6,83 line 17,4 20,4 line 17,44 20,44 line 17,83 20,83" \
  "$out/181.png"
convert -size 24x22 xc:black +antialias \
  -fill '#1f4f8f' -draw "roundrectangle 8,1 15,12 3,3" \
  -draw "rectangle 11,15 12,18" -draw "rectangle 7,19 16,20" \
  -fill none -stroke '#1f4f8f' -strokewidth 2 -draw "arc 5,6 18,17 0,180" \
  "$out/182.png"
convert -size 24x22 xc:black +antialias \
  -fill '#1f4f8f' -draw "rectangle 3,7 7,14" -draw "polygon 7,7 13,2 13,19 7,14" \
  -fill none -stroke '#1f4f8f' -strokewidth 2 -draw "arc 11,5 19,16 -60,60" \
  "$out/183.png"
convert -size 20x10 xc:black +antialias \
  -fill '#1f4f8f' -draw "roundrectangle 0,0 19,9 3,3" \
  -fill '#e8f2ff' -draw "roundrectangle 2,2 17,7 2,2" \
  -fill '#1f4f8f' -draw "line 4,4 15,4" \
  "$out/184.png"
convert -size 20x10 xc:black +antialias \
  -fill '#1f4f8f' -draw "roundrectangle 0,0 19,9 3,3" \
  -fill '#5c9be0' -draw "roundrectangle 2,2 17,7 2,2" \
  -fill white -draw "line 4,4 15,4" \
  "$out/185.png"

# 8 bits per channel: what every image reader handles.
mogrify -depth 8 "$out"/*.png
