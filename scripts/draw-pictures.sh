#!/usr/bin/env bash
# Draws the program's pictures with ImageMagick: assets/Pictures/<id>.png and,
# at twice the size for high-density screens, <id>@2x.png. Run by hand after
# changing a drawing; the PNGs are committed.
#
# Every drawing is made in 1x coordinates: sizes go through `sz`, lengths
# through `px`, and -draw strings start with "$sc", which scales them.
# Pictures whose background colour the program replaces are written as
# PNG24 (an indexed PNG would have 8 bits per pixel, and those are never
# recoloured); pictures with their own transparency as PNG32. Both keep 8
# bits per channel, which every image reader handles.
set -euo pipefail
out=$(dirname "$0")/../assets/Pictures
mkdir -p "$out"
bold=DejaVu-Sans-Bold
plain=DejaVu-Sans

# The skin's colours.
navy='#1f4f8f'
blue='#2d68ad'
mid='#3d7fc9'
light='#5c9be0'
pale='#81b4e9'
mist='#d8e6f3'
green='#2e9a22'
red='#c0392b'

draw_all() {
  S=$1
  local tag=$2
  sc="scale $S,$S"
  sz() { echo "$(($1 * S))x$(($2 * S))"; }
  px() { echo $(($1 * S)); }
  name() { echo "$out/$1$tag.png"; }
  tmp=$(mktemp -d)

  # 153: the program icon, a camera on a blue tile (also the tray's).
  convert -size "$(sz 64 64)" gradient:"$light"-"$navy" \
    \( -size "$(sz 64 64)" xc:black -fill white -draw "$sc roundrectangle 2,2 61,61 12,12" \) \
    -alpha off -compose CopyOpacity -composite -compose Over \
    -fill white -draw "$sc roundrectangle 10,20 40,46 5,5" \
    -draw "$sc polygon 40,28 54,20 54,46 40,38" \
    -fill "$navy" -draw "$sc circle 25,33 25,27" \
    -fill '#9fd0ff' -draw "$sc circle 25,33 25,30" \
    "PNG32:$(name 153)"

  # 172: the program picture in the main window's title band; 163: the
  # About box's, on the button face.
  convert "$(name 153)" -resize "$(sz 30 30)" "PNG32:$(name 172)"
  convert -size "$(sz 96 96)" xc:'#ece9d8' \( "$(name 153)" -resize "$(sz 88 88)" \) \
    -geometry "+$(px 4)+$(px 4)" -composite "PNG24:$(name 163)"

  # 160: the start-up splash; pure blue (the colour key) is see-through.
  # Hard outer edges: a blended edge pixel would not match the key.
  convert -size "$(sz 380 200)" xc:'#0000ff' \
    +antialias -fill "$navy" -draw "$sc roundrectangle 0,0 379,199 24,24" -antialias \
    -fill "$blue" -draw "$sc roundrectangle 6,6 373,193 20,20" \
    -fill "$pale" -draw "$sc roundrectangle 10,10 369,120 18,18" \
    -fill white -font $bold -pointsize "$(px 54)" -annotate "+$(px 150)+$(px 92)" 'KOVA' \
    \( "$(name 153)" -resize "$(sz 84 84)" \) -geometry "+$(px 40)+$(px 22)" -composite \
    -fill '#e8f2ff' -font $plain -pointsize "$(px 17)" \
    -annotate "+$(px 48)+$(px 152)" 'Universal Video Conferencing Tool' \
    -fill '#b9d6f5' -pointsize "$(px 13)" -annotate "+$(px 150)+$(px 180)" 'Starting...' \
    "PNG24:$(name 160)"

  # 166: the bar colour; column 0 filled, column 1 empty.
  convert -size "$(sz 1 6)" gradient:'#9cf08c'-"$green" \
    \( -size "$(sz 1 6)" gradient:'#3b4a5c'-'#56677a' \) +append +repage "PNG24:$(name 166)"

  # 167: the wait popup; white (the colour key) is see-through. The bar runs at
  # x 39, y 12, up to 120 wide; columns 0-160 vanish when there is no bar.
  convert -size "$(sz 200 30)" xc:white \
    +antialias -fill "$navy" -draw "$sc roundrectangle 0,0 160,29 8,8" \
    -draw "$sc circle 181,15 181,1" -antialias \
    -fill "$pale" -draw "$sc roundrectangle 2,2 158,27 7,7" \
    -fill '#3b4a5c' -draw "$sc rectangle 38,11 159,18" \
    -fill '#56677a' -draw "$sc rectangle 39,12 158,17" \
    -fill "$navy" -draw "$sc roundrectangle 8,8 22,22 3,3" -draw "$sc polygon 22,12 31,8 31,22 22,18" \
    -fill "$pale" -draw "$sc circle 181,15 181,4" \
    -fill "$navy" -draw "$sc roundrectangle 173,10 184,20 2,2" -draw "$sc polygon 184,13 190,10 190,20 184,17" \
    "PNG24:$(name 167)"

  # A rounded tile with a top-to-bottom gradient, on the key colour $4.
  tile() {  # W H RADIUS KEY BORDER TOP BOTTOM OUT
    local w=$1 h=$2 r=$3
    convert -size "$(sz "$w" "$h")" xc:"$4" \
      -fill "$5" -draw "$sc roundrectangle 0.5,0.5 $((w - 1)).5,$((h - 1)).5 $r,$r" \
      \( -size "$(sz $((w - 4)) $((h - 4)))" gradient:"$6"-"$7" \
         \( -size "$(sz $((w - 4)) $((h - 4)))" xc:black -fill white \
            -draw "$sc roundrectangle 0,0 $((w - 5)).9,$((h - 5)).9 $((r - 2)),$((r - 2))" \) \
         -alpha off -compose CopyOpacity -composite \) \
      -compose Over -geometry "+$(px 2)+$(px 2)" -composite "$8"
  }

  # Button strips: four 40x40 frames side by side (normal, hover or focus,
  # pressed, disabled): a white symbol on a rounded tile. Drawn on the mist
  # colour, which the windows make see-through.
  button() {  # id symbol colour-top colour-bottom [pointsize]
    local id=$1 sym=$2 top=$3 bottom=$4 size=${5:-20} frames=() i=0 glow
    case $bottom in
      "$green") glow='#9be68d' ;;
      "$red") glow='#f29a8b' ;;
      *) glow='#8cc4ff' ;;
    esac
    local looks=("$top:$bottom:white:0" "$glow:$top:white:0"
                 "$bottom:$navy:#dce9f6:1" "#d5dde6:#b8c4d0:#f4f7fa:0")
    for look in "${looks[@]}"; do
      IFS=: read -r c1 c2 ink shift <<<"$look"
      local f="$tmp/$id-$i.png"
      tile 40 40 9 "$mist" "$navy" "$c1" "$c2" "$f"
      convert "$f" -fill "$ink" -font $bold -pointsize "$(px "$size")" -gravity center \
        -annotate "+$(px "$shift")+$(px "$shift")" "$sym" "$f"
      frames+=("$f")
      i=$((i + 1))
    done
    convert "${frames[@]}" +append +repage "PNG24:$(name "$id")"
  }
  button 161 '☺' "$light" "$blue" 22
  button 136 '+' "$light" "$blue" 24
  button 135 '✎' "$light" "$blue"
  button 134 '✖' "$light" "$blue" 18
  button 133 '☎' '#5cc24e' "$green" 22
  button 1086 '☎' '#e0604f' "$red" 22
  button 174 ':)' "$light" "$blue" 17
  button 132 '⚙' "$light" "$blue" 22
  button 156 '?' "$light" "$blue" 22
  # Chat window: Send, Choose Text Format, Change Background, Send File.
  button 1061 '➤' '#5cc24e' "$green"
  button 1068 'Aa' "$light" "$blue" 15
  button 1072 '▦' "$light" "$blue"
  button 1070 '⇪' "$light" "$blue"

  # Small caption buttons, 22x22 frames: a white mark on a rounded square.
  # 171 closes the main window; 1064 / 1066 close and minimise a chat window.
  caption_button() {  # id mark hover-colour
    local id=$1 frames=() i=0
    for look in "$blue:$navy" "$3:$3" "$navy:#143766" '#b8c4d0:#9aa8b4'; do
      IFS=: read -r c1 c2 <<<"$look"
      local f="$tmp/$id-$i.png"
      tile 22 22 5 "$mist" "$navy" "$c1" "$c2" "$f"
      convert "$f" -stroke white -strokewidth "$(px 2)" -draw "$sc $2" "$f"
      frames+=("$f")
      i=$((i + 1))
    done
    convert "${frames[@]}" +append +repage "PNG24:$(name "$id")"
  }
  caption_button 171 "line 7,7 14,14 line 14,7 7,14" "$red"
  caption_button 1064 "line 7,7 14,14 line 14,7 7,14" "$red"
  caption_button 1066 "line 6,15 15,15" "$mid"

  # 164 / 165: available / not available.
  convert -size "$(sz 32 32)" xc:none -fill '#1f7a14' -draw "$sc circle 16,16 16,5" \
    -fill '#6be05a' -draw "$sc circle 16,16 16,8" -fill '#b6f5ab' -draw "$sc circle 14,13 14,11" \
    "PNG32:$(name 164)"
  convert -size "$(sz 32 32)" xc:none -fill '#7a7a7a' -draw "$sc circle 16,16 16,5" \
    -fill '#c8c8c8' -draw "$sc circle 16,16 16,8" "PNG32:$(name 165)"

  # 168: the status panel. Its first 130 columns keep their shape; the rest is
  # stretched past the panel's right edge, so it has no right end of its own.
  convert -size "$(sz 400 48)" xc:none \
    +antialias -fill "$navy" -draw "$sc roundrectangle 0,0 420,47 10,10" -antialias \
    \( -size "$(sz 400 42)" gradient:"$mid"-"$blue" \) -geometry "+$(px 3)+$(px 3)" -compose Over -composite \
    -fill "$navy" -draw "$sc rectangle 397,0 399,47" \
    -fill "$light" -draw "$sc roundrectangle 10,9 40,39 6,6" \
    -fill white -draw "$sc roundrectangle 15,17 30,31 2,2" -draw "$sc polygon 30,21 36,17 36,31 30,27" \
    "PNG32:$(name 168)"

  # 158 / 159: the message dialog's Cancel / OK, a wide pill per frame with a
  # cross or a tick at its left (the button's own text goes on the right). Drawn
  # on magenta, which the dialog recolours into its own background.
  pill() {  # id symbol colour
    local frames=() i=0 look
    for look in "$3:white:0" "#ffffff:$3:0" "$3:white:1" "#b8c4d0:#eef2f6:0"; do
      IFS=: read -r bg fg shift <<<"$look"
      local f="$tmp/$1-$i.png"
      convert -size "$(sz 96 28)" xc:'#ff00ff' \
        +antialias -fill "$navy" -draw "$sc roundrectangle 0,0 95,27 12,12" -antialias \
        -fill "$bg" -draw "$sc roundrectangle 2,2 93,25 11,11" \
        -fill "$fg" -font $bold -pointsize "$(px 14)" \
        -annotate "+$(px $((10 + shift)))+$(px $((19 + shift)))" "$2" "$f"
      frames+=("$f")
      i=$((i + 1))
    done
    convert "${frames[@]}" +append +repage "PNG24:$(name "$1")"
  }
  pill 159 '✔' "$green"
  pill 158 '✖' "$red"

  # 170: the main window's title band: its left and right thirds keep their
  # width, the middle one is stretched. Light, so the dark title reads well.
  convert -size "$(sz 300 40)" gradient:'#fbfdff'-'#d9e7f6' \
    -fill '#ffffff' -draw "$sc rectangle 0,0 299,0" \
    -fill '#7fa9d6' -draw "$sc rectangle 0,38 299,38" \
    -fill "$blue" -draw "$sc rectangle 0,39 299,39" \
    "PNG24:$(name 170)"

  # 169: the body. Its first 67 rows (the tool bar under the band) keep their
  # height: a bar in the buttons' own background colour (a disabled button
  # is drawn whole, corners and all), a rule below the buttons, then the
  # body's top colour; the rows below are stretched over the rest.
  convert -size "$(sz 64 200)" xc:'#c5daf0' \
    -fill "$mist" -draw "$sc rectangle 0,0 63,49" \
    -fill '#9dbfe3' -draw "$sc rectangle 0,50 63,50" \
    -fill '#f4f8fc' -draw "$sc rectangle 0,51 63,51" \
    \( -size "$(sz 64 15)" gradient:'#dbe8f5'-'#cfe0f2' \) -geometry "+0+$(px 52)" -composite \
    \( -size "$(sz 64 133)" gradient:'#cfe0f2'-'#a9c8e8' \) -geometry "+0+$(px 67)" -composite \
    "PNG24:$(name 169)"

  # Volume sliders (181-185), drawn on black, the colour they leave out. 181 is
  # the track, 182 / 183 the microphone's / speakers' top part, 184 / 185 the
  # thumb and the pressed thumb. Hard edges: a blended pixel would not be left out.
  convert -size "$(sz 24 88)" xc:black +antialias \
    -fill "$navy" -draw "$sc roundrectangle 9,2 14,85 2,2" \
    -fill "$mist" -draw "$sc rectangle 11,4 12,83" \
    -fill "$navy" -draw "$sc rectangle 3,4 6,4 rectangle 3,44 6,44 rectangle 3,83 6,83" \
    -draw "$sc rectangle 17,4 20,4 rectangle 17,44 20,44 rectangle 17,83 20,83" \
    "PNG24:$(name 181)"
  convert -size "$(sz 24 22)" xc:black +antialias \
    -fill "$navy" -draw "$sc roundrectangle 8,1 15,12 3,3" \
    -draw "$sc rectangle 11,15 12,18" -draw "$sc rectangle 7,19 16,20" \
    -fill none -stroke "$navy" -strokewidth "$(px 2)" -draw "$sc arc 5,6 18,17 0,180" \
    "PNG24:$(name 182)"
  convert -size "$(sz 24 22)" xc:black +antialias \
    -fill "$navy" -draw "$sc rectangle 3,7 7,14" -draw "$sc polygon 7,7 13,2 13,19 7,14" \
    -fill none -stroke "$navy" -strokewidth "$(px 2)" -draw "$sc arc 11,5 19,16 -60,60" \
    "PNG24:$(name 183)"
  convert -size "$(sz 20 10)" xc:black +antialias \
    -fill "$navy" -draw "$sc roundrectangle 0,0 19,9 3,3" \
    -fill '#e8f2ff' -draw "$sc roundrectangle 2,2 17,7 2,2" \
    -fill "$navy" -draw "$sc rectangle 4,4 15,4" \
    "PNG24:$(name 184)"
  convert -size "$(sz 20 10)" xc:black +antialias \
    -fill "$navy" -draw "$sc roundrectangle 0,0 19,9 3,3" \
    -fill "$light" -draw "$sc roundrectangle 2,2 17,7 2,2" \
    -fill white -draw "$sc rectangle 4,4 15,4" \
    "PNG24:$(name 185)"

  rm -rf "$tmp"
}

draw_all 1 ""
draw_all 2 "@2x"
