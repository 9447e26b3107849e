#!/usr/bin/env bash
# Kindler's pictures: its program icon (a flame before a wall), the wizard's side picture,
# the traffic lights of pages 3 and 4, and the icons of the data files beside the wizard
# (one per provider in data/, and trffc13.ico for "Other"). Icons are drawn at 32 and
# 16 pixels separately so the small ones stay crisp.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/resources/kindler"
data="$root/data"
mkdir -p "$out" "$data"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# flame <file>: orange flame before a grey brick wall.
flame() {
  convert -size 32x32 xc:none \
    -fill "#8a8a8a" -stroke "#404040" -draw "rectangle 1,18 30,30" \
    -stroke "#505050" -draw "line 1,24 30,24" -draw "line 10,18 10,24" -draw "line 21,18 21,24" \
    -draw "line 5,24 5,30" -draw "line 16,24 16,30" -draw "line 26,24 26,30" \
    -stroke "#a02000" -fill "#ff7a00" -draw "path 'M 16,2 C 23,9 25,14 22,20 C 20,24 12,24 10,20 C 8,15 12,12 13,7 C 15,10 16,10 16,2 Z'" \
    -stroke none -fill "#ffe040" -draw "path 'M 16,10 C 20,14 20,19 18,21 C 16,23 13,21 13,18 C 13,15 15,14 16,10 Z'" \
    "$tmp/flame-32.png"
  convert -size 16x16 xc:none \
    -fill "#8a8a8a" -stroke "#404040" -draw "rectangle 0,9 15,15" -stroke "#505050" -draw "line 0,12 15,12" \
    -stroke "#a02000" -fill "#ff7a00" -draw "path 'M 8,0 C 12,4 13,7 11,10 C 10,12 6,12 5,10 C 4,7 6,6 7,3 C 8,5 8,5 8,0 Z'" \
    -stroke none -fill "#ffe040" -draw "rectangle 7,6 9,9" "$tmp/flame-16.png"
  convert "$tmp/flame-32.png" "$tmp/flame-16.png" "$1"
}
flame "$out/kindler.ico"

# lights <file> <red> <yellow> <green>: a traffic light with the given lamp colours.
lights() {
  local file=$1 r=$2 y=$3 g=$4
  convert -size 32x32 xc:none -fill "#202020" -stroke "#000000" -draw "roundrectangle 9,0 22,31 4,4" \
    -fill "$r" -draw "circle 15.5,5.5 15.5,1.5" -fill "$y" -draw "circle 15.5,15.5 15.5,11.5" \
    -fill "$g" -draw "circle 15.5,25.5 15.5,21.5" "$tmp/l-32.png"
  convert -size 16x16 xc:none -fill "#202020" -draw "rectangle 4,0 11,15" \
    -fill "$r" -draw "circle 7.5,2.5 7.5,0.8" -fill "$y" -draw "circle 7.5,7.5 7.5,5.8" \
    -fill "$g" -draw "circle 7.5,12.5 7.5,10.8" "$tmp/l-16.png"
  convert "$tmp/l-32.png" "$tmp/l-16.png" "$file"
}
lights "$out/lights.ico" "#ff2020" "#ffd800" "#20e040"
lights "$data/trffc13.ico" "#ff2020" "#ffd800" "#20e040"

# lamp <file> <colour>: one round lamp in a dark hood, for the heads of page 4.
lamp() {
  convert -size 32x32 xc:none -fill "#202020" -stroke "#000000" -draw "roundrectangle 4,4 27,27 6,6" \
    -fill "$2" -stroke "#000000" -draw "circle 15.5,15.5 15.5,7.5" \
    -fill "#ffffffa0" -stroke none -draw "circle 12.5,12 12.5,10.5" "$tmp/lamp-32.png"
  convert -size 16x16 xc:none -fill "#202020" -draw "roundrectangle 1,1 14,14 3,3" \
    -fill "$2" -draw "circle 7.5,7.5 7.5,3" "$tmp/lamp-16.png"
  convert "$tmp/lamp-32.png" "$tmp/lamp-16.png" "$1"
}
lamp "$out/red.ico" "#ff2020"
lamp "$out/yellow.ico" "#ffd800"
lamp "$out/green.ico" "#20e040"

# The side picture, 119 x 193 pixels (1785 x 2895 twips at 96 dpi): dusk sky, a wall
# and the flame, with the product name.
convert -size 119x193 gradient:"#1b2a6b"-"#f0a040" \
  -fill "#7a7a7a" -stroke "#3a3a3a" -draw "rectangle 0,140 118,192" \
  -stroke "#4a4a4a" -draw "line 0,157 118,157" -draw "line 0,174 118,174" \
  -draw "line 20,140 20,157" -draw "line 60,140 60,157" -draw "line 100,140 100,157" \
  -draw "line 40,157 40,174" -draw "line 80,157 80,174" \
  -draw "line 20,174 20,192" -draw "line 60,174 60,192" -draw "line 100,174 100,192" \
  -stroke "#a02000" -fill "#ff7a00" \
  -draw "path 'M 60,62 C 80,84 86,100 78,118 C 72,132 48,132 42,118 C 36,102 46,92 50,78 C 55,88 58,88 60,62 Z'" \
  -stroke none -fill "#ffe040" \
  -draw "path 'M 60,88 C 70,100 71,112 66,120 C 61,127 52,123 52,114 C 52,106 57,102 60,88 Z'" \
  -fill "#ffffff" -font DejaVu-Sans-Bold -pointsize 15 -gravity north -annotate +0+12 "Tarnwall" \
  -font DejaVu-Sans -pointsize 10 -annotate +0+32 "Setup Wizard" \
  "BMP3:$out/wizard.bmp"

# provider <file> <colour> <letter>: a globe in the provider's colour with its initial.
provider() {
  convert -size 32x32 xc:none -fill "$2" -stroke "#202020" -draw "circle 15.5,15.5 15.5,1.5" \
    -fill none -stroke "#ffffff80" -draw "ellipse 15.5,15.5 6,14 0,360" -draw "line 2,15.5 29,15.5" \
    -stroke none -fill "#ffffff" -font DejaVu-Sans-Bold -pointsize 16 -gravity center -annotate +0+0 "$3" \
    "$tmp/p-32.png"
  convert -size 16x16 xc:none -fill "$2" -stroke "#202020" -draw "circle 7.5,7.5 7.5,0.5" \
    -stroke none -fill "#ffffff" -font DejaVu-Sans-Bold -pointsize 9 -gravity center -annotate +0+0 "$3" \
    "$tmp/p-16.png"
  convert "$tmp/p-32.png" "$tmp/p-16.png" "$1"
}
provider "$data/NORTHLNK.ICO" "#1f5fbf" "N"
provider "$data/BAYNET.ICO" "#138a72" "B"
provider "$data/COBALT.ICO" "#3b3bb0" "C"
provider "$data/HARBOUR.ICO" "#b0431f" "H"
provider "$data/MERIDIAN.ICO" "#7a2f9a" "M"
