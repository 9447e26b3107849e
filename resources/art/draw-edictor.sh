#!/usr/bin/env bash
# Draws Edictor's pictures into resources/edictor/:
#   nodes.bmp      the twelve 16x16 tree pictures side by side, white is transparent:
#                  0-2 traffic lights (allow, deny, ask), 3 protocol socket, 4 application
#                  window, 5 computer, 6-8 the three known programs (web globe, browser
#                  globe, mail program), 9 terminal, 10 mail, 11 file transfer
#   toolbar.bmp    the four 16x16 toolbar buttons side by side, white is transparent:
#                  Add Rule, Delete rule, Lock, Set Timer
#   light_*.ico    the three lights above the trees
#   edictor.ico    the program (16, 32 and 48 pixels)
set -euo pipefail
cd "$(dirname "$0")/../.."
out=resources/edictor
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

tile() {  # tile <file> <draw commands...>
  local file=$1; shift
  convert -size 16x16 xc:white -antialias "$@" "$tmp/$file.png"
}

# A traffic light: dark housing, three lamps, one of them lit.
light() {  # light <file> <lit index 0=top red,1=middle yellow,2=bottom green>
  local lit=$1 red="#5a1c1c" yellow="#5a501c" green="#1c4a1c"
  case $lit in 0) red="#ff2a2a" ;; 1) yellow="#ffd21e" ;; 2) green="#2ee04a" ;; esac
  tile "$2" -fill "#2b2b2b" -stroke "#111111" -draw "roundrectangle 4,0 11,15 2,2" \
    -stroke none -fill "$red" -draw "circle 7.5,3 7.5,1.3" \
    -fill "$yellow" -draw "circle 7.5,7.5 7.5,5.8" \
    -fill "$green" -draw "circle 7.5,12 7.5,10.3"
}
light 2 p00   # allow: green
light 0 p01   # deny: red
light 1 p02   # ask: yellow

# Protocol: a wall socket with two pins.
tile p03 -fill "#d8d8d8" -stroke "#606060" -draw "roundrectangle 1,1 14,14 3,3" \
  -fill "#f4f4f4" -draw "circle 7.5,7.5 7.5,2.5" -stroke none -fill "#303030" \
  -draw "rectangle 5,6 6,9" -draw "rectangle 9,6 10,9"
# Application: a window with a blue title bar.
tile p04 -fill "#fdfdfd" -stroke "#404040" -draw "rectangle 1,2 14,13" -stroke none \
  -fill "#1f4fb8" -draw "rectangle 2,3 13,5" -fill "#c0c0c0" -draw "rectangle 3,7 8,8" -draw "rectangle 3,10 11,11"
# Address: a computer, screen and base.
tile p05 -fill "#bfbfbf" -stroke "#404040" -draw "rectangle 1,1 14,10" -fill "#2a6fd6" -stroke none \
  -draw "rectangle 3,3 12,8" -fill "#808080" -draw "rectangle 6,11 9,12" -fill "#bfbfbf" -stroke "#404040" \
  -draw "rectangle 2,13 13,14"
# Web program: a blue globe.
tile p06 -fill "#2f7fe0" -stroke "#12408a" -draw "circle 7.5,7.5 7.5,1" -fill none -stroke "#cfe6ff" \
  -draw "ellipse 7.5,7.5 3,6.5 0,360" -draw "line 1,7.5 14,7.5"
# Second web program: a green globe with a ring around it.
tile p07 -fill "#1d9a6c" -stroke "#0e5a3e" -draw "circle 7.5,7.5 7.5,2.5" -fill none -stroke "#f0b400" \
  -draw "ellipse 7.5,8 7,2.5 0,360"
# Mail program: an envelope over a page.
tile p08 -fill "#ffffff" -stroke "#606060" -draw "rectangle 5,1 14,10" -fill "#f2d680" -stroke "#8a6a10" \
  -draw "rectangle 1,6 11,14" -fill none -draw "polyline 1,6 6,11 11,6"
# Terminal: a black screen with a green prompt.
tile p09 -fill "#101010" -stroke "#707070" -draw "rectangle 1,2 14,13" -stroke "#3cff5a" \
  -draw "polyline 3,5 5,7 3,9" -draw "line 7,10 11,10"
# Mail: an envelope.
tile p10 -fill "#f8f0d0" -stroke "#8a6a10" -draw "rectangle 1,3 14,12" -fill none -draw "polyline 1,3 7.5,9 14,3"
# File transfer: a folder with an up and a down arrow.
tile p11 -fill "#f0c040" -stroke "#8a6a10" -draw "rectangle 1,4 14,14" -draw "rectangle 1,2 6,4" -stroke none \
  -fill "#1f4fb8" -draw "polygon 5,6 8,9 6,9 6,12 4,12 4,9 2,9" -fill "#c02020" -draw "polygon 11,13 14,10 12,10 12,7 10,7 10,10 8,10"

convert "$tmp"/p{00,01,02,03,04,05,06,07,08,09,10,11}.png +append -type TrueColor BMP3:"$out/nodes.bmp"

# Toolbar: a rule sheet with a green plus, the sheet with a red cross, a padlock, a clock.
sheet=(-fill "#ffffff" -stroke "#505050" -draw "rectangle 1,1 10,14" -stroke "#9a9a9a" -draw "line 3,4 8,4" -draw "line 3,7 8,7" -draw "line 3,10 6,10")
tile t0 "${sheet[@]}" -stroke none -fill "#1f9a2e" -draw "rectangle 10,6 12,15" -draw "rectangle 7,9 15,11"
tile t1 "${sheet[@]}" -stroke "#d01818" -strokewidth 2 -draw "line 8,7 14,14" -draw "line 14,7 8,14"
tile t2 -fill none -stroke "#606060" -strokewidth 2 -draw "roundrectangle 4,1 11,9 3,3" -stroke "#7a5a00" -strokewidth 1 \
  -fill "#e8b830" -draw "rectangle 2,7 13,14" -fill "#303030" -stroke none -draw "rectangle 7,9 8,12"
tile t3 -fill "#ffffff" -stroke "#303030" -draw "circle 7.5,8 7.5,1.5" -stroke "#c02020" -draw "line 7.5,8 7.5,3.5" \
  -stroke "#303030" -draw "line 7.5,8 10.5,9.5"
convert "$tmp"/t{0,1,2,3}.png +append -type TrueColor BMP3:"$out/toolbar.bmp"

# The three lights above the trees, transparent around the housing.
for pair in green:p00 red:p01 yellow:p02; do
  convert "$tmp/${pair#*:}.png" -transparent white "$out/light_${pair%%:*}.ico"
done

# The program: a shield with a rule list on it.
convert -size 48x48 xc:none -antialias -fill "#1f4fb8" -stroke "#0c2a66" -strokewidth 2 \
  -draw "path 'M 24,3 L 43,10 L 41,28 Q 36,40 24,45 Q 12,40 7,28 L 5,10 Z'" \
  -stroke none -fill "#ffffff" -draw "rectangle 15,15 33,18" -draw "rectangle 15,22 33,25" -draw "rectangle 15,29 28,32" \
  -fill "#2ee04a" -draw "circle 12,16.5 12,15" -fill "#ff2a2a" -draw "circle 12,23.5 12,22" \
  -fill "#ffd21e" -draw "circle 12,30.5 12,29" "$tmp/app48.png"
convert "$tmp/app48.png" -define icon:auto-resize=48,32,16 "$out/edictor.ico"
