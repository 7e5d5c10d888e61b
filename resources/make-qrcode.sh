#!/usr/bin/env bash
# Draws bitmap 151, the 600 x 815 picture of the QR-code window: a QR code of the product web
# address (taken from maker_texts.h) at the top, the address written below it, white around.
# The window shows the picture squeezed to 300 x 400, so the code is drawn large and square.
# The result, qrcode.bmp (24-bit, uncompressed), is committed. Needs qrencode and ImageMagick 6.
set -euo pipefail
cd "$(dirname "$0")"
address=$(sed -n 's/.*ProductWebAddress\[\] = L"\([^"]*\)".*/\1/p' maker_texts.h)
[ -n "$address" ] || { echo "no ProductWebAddress in maker_texts.h" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Module size 15 keeps every module a whole number of pixels; margin 4 is the quiet zone.
qrencode -l M -s 15 -m 4 -o "$work/code.png" "$address"
convert "$work/code.png" -background white -gravity north -extent 600x580 \
  \( -size 600x235 xc:white -font DejaVu-Sans -pointsize 30 -fill black -gravity north \
     -annotate +0+0 "$address" \) -append \
  -alpha off -type TrueColor -compress None "BMP3:qrcode.bmp"
identify qrcode.bmp
