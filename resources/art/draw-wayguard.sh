#!/usr/bin/env bash
# Wayguard's pictures: the three traffic-light mode icons, the open and closed locks, the
# timer and options icons, the two lamps and the About logo. Each icon is drawn separately
# at 32 and 16 pixels so the small one stays crisp rather than being shrunk.
# Bitmaps use the dialog grey (192,192,192) as background: the monitor loads them with
# that grey mapped to the system's face colour.
set -euo pipefail
cd "$(dirname "$0")/../wayguard"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# traffic <name> <lit: red|yellow|green>
traffic() {
  local name=$1 lit=$2 r="#5a1010" y="#5a5010" g="#104a18"
  case $lit in
    red) r="#ff2020" ;;
    yellow) y="#ffd800" ;;
    green) g="#20e040" ;;
  esac
  convert -size 32x32 xc:none -fill "#202020" -stroke "#000000" -draw "roundrectangle 9,0 22,31 4,4" \
    -stroke "#000000" -strokewidth 1 \
    -fill "$r" -draw "circle 15.5,5.5 15.5,1.5" \
    -fill "$y" -draw "circle 15.5,15.5 15.5,11.5" \
    -fill "$g" -draw "circle 15.5,25.5 15.5,21.5" "$tmp/$name-32.png"
  convert -size 16x16 xc:none -fill "#202020" -draw "rectangle 4,0 11,15" \
    -fill "$r" -draw "circle 7.5,2.5 7.5,0.8" \
    -fill "$y" -draw "circle 7.5,7.5 7.5,5.8" \
    -fill "$g" -draw "circle 7.5,12.5 7.5,10.8" "$tmp/$name-16.png"
  convert "$tmp/$name-32.png" "$tmp/$name-16.png" "$name.ico"
}
traffic standby green
traffic filter yellow
traffic block red

# lock <name> <open: 0|1>
lock() {
  local name=$1 open=$2 shackle32 shackle16
  if [ "$open" = 1 ]; then
    shackle32="M 20,14 L 20,7 A 5,5 0 0 1 30,7 L 30,10"
    shackle16="M 10,7 L 10,3 A 2.5,2.5 0 0 1 15,3 L 15,5"
  else
    shackle32="M 10,14 L 10,8 A 6,6 0 0 1 22,8 L 22,14"
    shackle16="M 5,7 L 5,4 A 3,3 0 0 1 11,4 L 11,7"
  fi
  convert -size 32x32 xc:none -fill none -stroke "#606060" -strokewidth 3 -draw "path '$shackle32'" \
    -stroke "#6b4a00" -strokewidth 1 -fill "#e0b020" -draw "roundrectangle 5,14 26,30 2,2" \
    -fill "#303030" -stroke none -draw "circle 15.5,20.5 15.5,18.5" -draw "rectangle 15,21 16,26" "$tmp/$name-32.png"
  convert -size 16x16 xc:none -fill none -stroke "#606060" -strokewidth 2 -draw "path '$shackle16'" \
    -stroke "#6b4a00" -strokewidth 1 -fill "#e0b020" -draw "rectangle 2,7 13,15" \
    -fill "#303030" -stroke none -draw "rectangle 7,10 8,13" "$tmp/$name-16.png"
  convert "$tmp/$name-32.png" "$tmp/$name-16.png" "$name.ico"
}
lock unlocked 1
lock locked 0

# The timer: a stopwatch with its hand at a quarter to.
convert -size 32x32 xc:none -fill "#606060" -draw "rectangle 13,0 18,3" -draw "rectangle 15,3 16,6" \
  -fill white -stroke "#202020" -strokewidth 2 -draw "circle 15.5,18 15.5,5" \
  -stroke "#c00000" -strokewidth 2 -draw "line 15.5,18 15.5,9" -stroke "#202020" -draw "line 15.5,18 9,18" \
  "$tmp/timer-32.png"
convert -size 16x16 xc:none -fill "#606060" -draw "rectangle 6,0 9,1" \
  -fill white -stroke "#202020" -strokewidth 1 -draw "circle 7.5,9 7.5,2.5" \
  -stroke "#c00000" -draw "line 7.5,9 7.5,4" -stroke "#202020" -draw "line 7.5,9 4,9" "$tmp/timer-16.png"
convert "$tmp/timer-32.png" "$tmp/timer-16.png" timer.ico

# Options: three sliders.
convert -size 32x32 xc:none -stroke "#404040" -strokewidth 2 \
  -draw "line 4,7 28,7" -draw "line 4,16 28,16" -draw "line 4,25 28,25" \
  -stroke "#102a70" -strokewidth 1 -fill "#4a8ae0" \
  -draw "rectangle 18,3 22,11" -draw "rectangle 8,12 12,20" -draw "rectangle 14,21 18,29" "$tmp/options-32.png"
convert -size 16x16 xc:none -stroke "#404040" -strokewidth 1 \
  -draw "line 1,3 14,3" -draw "line 1,8 14,8" -draw "line 1,13 14,13" \
  -stroke "#102a70" -fill "#4a8ae0" \
  -draw "rectangle 9,1 11,5" -draw "rectangle 3,6 5,10" -draw "rectangle 6,11 8,15" "$tmp/options-16.png"
convert "$tmp/options-32.png" "$tmp/options-16.png" options.ico

# The lamps, 18 x 18: a grey glass when dark, a green one when lit.
lamp() {
  convert -size 18x18 xc:"rgb(192,192,192)" -stroke "#404040" -strokewidth 1 -fill "$2" \
    -draw "circle 8.5,8.5 8.5,1.5" -stroke none -fill "$3" -draw "circle 6.5,6 6.5,4.5" "BMP3:$1.bmp"
}
lamp lamp_dark "#707070" "#a0a0a0"
lamp lamp_lit "#10c020" "#b0ffb0"

# The logo, 48 x 48: a shield with a wall across it.
convert -size 48x48 xc:"rgb(192,192,192)" -fill "#1f4fa0" -stroke "#0a2050" -strokewidth 2 \
  -draw "path 'M 24,3 L 42,9 L 42,24 Q 42,38 24,45 Q 6,38 6,24 L 6,9 Z'" \
  -stroke "#5a2a10" -strokewidth 1 -fill "#c05a28" -draw "rectangle 11,20 37,32" \
  -stroke "#e8d0b0" -draw "line 11,26 37,26" -draw "line 20,20 20,26" -draw "line 30,20 30,26" \
  -draw "line 15,26 15,32" -draw "line 25,26 25,32" -draw "line 34,26 34,32" "BMP3:logo.bmp"
