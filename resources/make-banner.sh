#!/usr/bin/env bash
# Draws banner.png, the picture of the main window's banner strip (Image1):
# 468 x 60, at most 256 colours. The program's name, what it does, and a row
# of character tiles such as the page export makes; the bottom-right corner is
# left plain for the link drawn over it. Needs ImageMagick and the fonts of
# fonts-urw-base35 and fonts-dejavu-core.
#   resources/make-banner.sh [output]
set -euo pipefail
out=${1:-$(dirname "$0")/banner.png}
serif=/usr/share/fonts/opentype/urw-base35/C059-Bold.otf
sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
sansBold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Paper: a cool light gradient with a thin rule along the bottom.
convert -size 468x60 gradient:'#ffffff-#dfe8f3' \
  -fill '#9fb3cc' -draw 'rectangle 0,58 467,59' "$work/paper.png"

# The gem: a carved "G" on a navy octagon, as a seal stone.
convert -size 52x52 xc:none -fill '#1f3a66' -stroke '#0e1f3d' -strokewidth 2 \
  -draw 'polygon 15,2 37,2 50,15 50,37 37,50 15,50 2,37 2,15' \
  -fill '#c9d8ee' -stroke none -font "$serif" -pointsize 40 -gravity center \
  -annotate +1+2 'G' "$work/gem.png"

# Character tiles, each a small image as on an exported page.
tiles=()
i=0
for c in A b ç Ж 7; do
  colours=('#b23a3a' '#2f6f4f' '#6a3d9a' '#1f5f99' '#b36b00')
  convert -size 24x24 xc:white -fill none -stroke '#9fb3cc' -draw 'rectangle 0,0 23,23' \
    -stroke none -fill "${colours[$i]}" -font "$serif" -pointsize 19 -gravity center \
    -annotate +0+1 "$c" "$work/tile$i.png"
  tiles+=("$work/tile$i.png")
  i=$((i + 1))
done
convert "${tiles[@]}" -background none -splice 3x0 +append -chop 3x0 "$work/tiles.png"

convert "$work/paper.png" \
  "$work/gem.png" -geometry +6+4 -composite \
  -font "$serif" -pointsize 31 \
  -fill '#9fb3cc' -annotate +67+33 'Glyptika' \
  -fill '#1f3a66' -annotate +65+31 'Glyptika' \
  -font "$sans" -pointsize 11 -fill '#33475f' -annotate +66+50 'Text in any font, set as GIF images for web pages' \
  "$work/tiles.png" -geometry +328+6 -composite \
  -colors 256 -type Palette PNG8:"$out"
echo "Wrote $out"
