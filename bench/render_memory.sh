#!/usr/bin/env bash
# Peak memory of glyptika-cli render at the largest rendering it takes (one
# "W" at 1000 px in a user width of 32000: some 2^25 pixels), for each save
# and the options that add pixels or work, against the README's 340 MB.
# Takes a Release build.
set -euo pipefail
dir=${1:-build/release}
cli=$dir/src/cli/glyptika-cli
[ -x "$cli" ] || { echo "no Release build in $dir"; exit 0; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
bound=340
worst=0
while IFS='|' read -r what options; do
  /usr/bin/time -f %M -o "$out/peak" "$cli" render -t W --size 1000 --width 32000 $options \
    >/dev/null 2>"$out/err" || { echo "$what: failed: $(head -1 "$out/err")"; continue; }
  mb=$(($(tail -1 "$out/peak") * 1024 / 1000000))
  [ "$mb" -gt "$worst" ] && worst=$mb
  printf '%-40s peak %4d MB\n' "$what" "$mb"
  rm -rf "$out/L" "$out"/*.gif "$out"/*.html "$out/img_char"
done <<EOF
solid GIF|--out $out/s.gif
solid GIF, shadow 20, transparent|--shadow=20 --transparent --out $out/s.gif
one GIF per line|--lines $out/L
one GIF per line, shadow 20|--shadow=20 --lines $out/L
one GIF per line, cut to cells|--clip-to-cells --lines $out/L
one GIF per line, recoloured, transparent|--recolor white=navy --transparent --lines $out/L
character page|--html $out/p.html
all three saves|--out $out/s.gif --lines $out/L --html $out/p.html
EOF
if [ "$worst" -le "$bound" ]; then
  echo "worst peak $worst MB: within the README's $bound MB"
else
  echo "worst peak $worst MB: ABOVE the README's $bound MB"
fi
