#!/usr/bin/env bash
# Peak memory of glyptika-cli render at the largest rendering it takes (one
# "W" at 1000 px in a user width of 32000: some 2^25 pixels), for each save
# and the options that add pixels or work, against the README's 340 MB for
# GIF and 700 MB for PNG, whose pixels are kept whole as the table's image is.
# Takes a Release build.
set -euo pipefail
dir=${1:-build/release}
cli=$dir/src/cli/glyptika-cli
[ -x "$cli" ] || { echo "no Release build in $dir"; exit 0; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
over=0
while IFS='|' read -r what bound options; do
  /usr/bin/time -f %M -o "$out/peak" "$cli" render -t W --size 1000 --width 32000 $options \
    >/dev/null 2>"$out/err" || { echo "$what: failed: $(head -1 "$out/err")"; continue; }
  mb=$(($(tail -1 "$out/peak") * 1024 / 1000000))
  [ "$mb" -gt "$bound" ] && over=1
  printf '%-52s peak %4d MB (at most %d)\n' "$what" "$mb" "$bound"
  rm -rf "$out/L" "$out"/*.gif "$out"/*.png "$out"/*.html "$out/img_char"
done <<EOF
solid GIF|340|--out $out/s.gif
solid GIF, shadow 20, transparent|340|--shadow=20 --transparent --out $out/s.gif
one GIF per line|340|--lines $out/L
one GIF per line, shadow 20|340|--shadow=20 --lines $out/L
one GIF per line, cut to cells|340|--clip-to-cells --lines $out/L
one GIF per line, recoloured, transparent|340|--recolor white=navy --transparent --lines $out/L
character page|340|--html $out/p.html
all three saves|340|--out $out/s.gif --lines $out/L --html $out/p.html
solid PNG|700|--out $out/s.png
solid PNG, shadow 20, transparent|700|--shadow=20 --transparent --out $out/s.png
one PNG per line, transparent|700|--transparent --lines $out/L --mask %t.png
solid PNG and 2x, transparent (W at 500 px)|700|--size 500 --width 16000 --transparent --out $out/s.png --scale 2
one PNG per line and 3x, transparent (W at 333 px)|700|--size 333 --width 10666 --transparent --lines $out/L --mask %t.png --scale 3
EOF
if [ "$over" = 0 ]; then
  echo "every peak within the README's bounds"
else
  echo "a peak is ABOVE the README's bound"
fi
