#!/usr/bin/env bash
# Draws the program icon and the 48 file-type icons (16, 20, 32 and 48 pixels each) into
# resources/icons/<key>.ico. The results are committed, so a build needs no image tools; run this
# again only to change the pictures. Needs ImageMagick 6 and the DejaVu fonts.
set -euo pipefail
cd "$(dirname "$0")"
out=icons
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out"

# One tile colour per type category, so that the list shows the category at a glance.
declare -A colour=(
  [audio]='#8e44ad' [compressed]='#b9770e' [document]='#2e6fd8' [executable]='#2c3e50'
  [folder]='#e8b230' [picture]='#229954' [video]='#c0392b' [other]='#7f8c8d'
)
# The category each icon key gets from the classification table; keys not listed there are other.
declare -A category=(
  [avi]=video [bat]=executable [bmp]=picture [c]=document [com]=executable [cpp]=document
  [doc]=document [docx]=document [exe]=executable [gif]=picture [h]=document [hlp]=document
  [htm]=document [html]=document [ini]=document [isdir]=folder [jpeg]=picture [jpg]=picture
  [mp3]=audio [mp4]=video [pdf]=document [png]=picture [ppt]=document [pptx]=document
  [rar]=compressed [ttf]=document [txt]=document [wav]=video [xls]=document [xlsx]=document
  [xml]=document [zip]=compressed
)
keys=(1logo avi bat bmp c chk com cpp cur dbf dib disk dll doc docx exe fund gif h hlp htm html
      inf ini isdir jpeg jpg lib lnk log mp3 mp4 mpv pdf png ppt pptx rar recy sys ttf txt url vb
      wav xls xlsx xml zip)
sizes=(16 20 32 48)

# A rounded tile in the category colour with the key written across it in white.
tile() {
  local key=$1 size=$2 fill=$3 file=$4
  local last=$((size - 1)) radius=$((size / 6 + 1)) text=${key^^}
  local box=$((size - size / 8)) boxh=$((size / 2))
  [ "$size" -le 20 ] && boxh=$((size * 3 / 4))
  [ "$key" = fund ] && text='?'
  # Small sizes keep only what stays legible: three letters at 20 pixels, one at 16.
  if [ "$size" -le 16 ]; then text=${text:0:1}; elif [ "$size" -le 20 ]; then text=${text:0:3}; fi
  convert -size "${size}x${size}" xc:none -fill "$fill" \
    -draw "roundrectangle 0,0,$last,$last,$radius,$radius" \
    \( -background none -fill white -font DejaVu-Sans-Condensed-Bold -size "${box}x${boxh}" \
       -gravity center "label:$text" \) -gravity center -composite \
    -type TrueColorAlpha "PNG32:$file"
}

# A folder: a tab on the left of the top edge and a wide body below it.
folder() {
  local size=$1 fill=$2 file=$3
  local s=$size
  convert -size "${s}x${s}" xc:none -fill "$fill" -stroke '#b8860b' -strokewidth 1 \
    -draw "roundrectangle 0,$((s / 6)),$((s * 5 / 12)),$((s / 3)),1,1" \
    -draw "roundrectangle 0,$((s / 4)),$((s - 1)),$((s * 7 / 8)),2,2" \
    -type TrueColorAlpha "PNG32:$file"
}

# The program's own icon: a magnifying glass on a green tile.
logo() {
  local size=$1 file=$2
  local s=$size last=$((size - 1)) r=$((size / 6 + 1)) w=$((size / 10 + 1))
  convert -size "${s}x${s}" xc:none -fill '#41964f' \
    -draw "roundrectangle 0,0,$last,$last,$r,$r" \
    -fill none -stroke white -strokewidth "$w" \
    -draw "circle $((s * 5 / 12)),$((s * 5 / 12)) $((s * 5 / 12)),$((s * 3 / 16))" \
    -strokewidth $((w + 1)) -draw "line $((s * 19 / 32)),$((s * 19 / 32)) $((s * 13 / 16)),$((s * 13 / 16))" \
    -type TrueColorAlpha "PNG32:$file"
}

for key in "${keys[@]}"; do
  images=()
  for size in "${sizes[@]}"; do
    file="$work/$key-$size.png"
    case $key in
      1logo) logo "$size" "$file" ;;
      isdir) folder "$size" "${colour[folder]}" "$file" ;;
      *) tile "$key" "$size" "${colour[${category[$key]:-other}]}" "$file" ;;
    esac
    images+=("$file")
  done
  convert "${images[@]}" "$out/$key.ico"
done
echo "wrote ${#keys[@]} icons to $(pwd)/$out"
