#!/usr/bin/env bash
# PNG beside GIF, and 2x beside 1x, as the saves make them:
# - the page of the 224 characters of --fill all in PNG against the same in
#   GIF (at most twice its time), each in a process of its own, since the
#   file system slows a process that has made and removed many files;
# - renderings at 2x against 1x (at most 4.5 times the time);
# - the files glyptika-cli writes in PNG against Pillow's smallest
#   (optimize=True) of the same pixels (at most 1.1 times the size).
#
#   bench/formats.sh [BUILD_DIR]   (default build/release; `make bench` runs it)
set -euo pipefail

dir=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The median real time in ms of one benchmark, run alone.
median() {
  "$dir/bench/$1" --benchmark_filter="$2" --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_format=json 2>/dev/null |
    /usr/bin/python3 -c '
import json, sys
runs = [b for b in json.load(sys.stdin)["benchmarks"] if b.get("aggregate_name") == "median"]
t = runs[0]["real_time"]
print(t if runs[0]["time_unit"] == "ms" else t / 1e6)'
}

status=0
ratio() { # NAME LIMIT NUMERATOR_MS DENOMINATOR_MS
  /usr/bin/python3 -c "
import sys
r = $3 / $4
print(f'$1: {$3:.1f} ms against {$4:.1f} ms, ratio {r:.2f} (at most $2)')
sys.exit(r > $2)" || status=1
}

gif=$(median bench_export 'HtmlExport/all224_30px_plain$')
png=$(median bench_export 'HtmlExport/all224_30px_plain_png$')
ratio "page of 224 characters, PNG over GIF" 2 "$png" "$gif"
for b in AllChars30px Heading48px; do
  one=$(median bench_render "BM_$b\$")
  two=$(median bench_render "BM_${b}2x\$")
  ratio "$b, 2x over 1x" 4.5 "$two" "$one"
done

cli="$dir/src/cli/glyptika-cli"
"$cli" render --fill all --html "$work/page/page.html" --format png
"$cli" render --fill all --html "$work/clear/page.html" --format png --transparent --scale 2
"$cli" render --text Home --text "About us" --text "Contact" --color '#336699' --shadow=2 \
  --lines "$work/menu" --mask '%s.png' --transparent --scale 2
"$cli" render --text "Glyptika" --size 72 --color navy --out "$work/heading.png" --scale 2
/usr/bin/python3 - "$work" <<'PY' || status=1
import glob, os, sys
from PIL import Image
ours = pillow = 0
worst, worst_name = 0, ""
for name in sorted(glob.glob(os.path.join(sys.argv[1], "**", "*.png"), recursive=True)):
    im = Image.open(name)
    im.load()
    theirs = name + ".pillow"
    im.save(theirs, format="PNG", optimize=True)
    a, b = os.path.getsize(name), os.path.getsize(theirs)
    ours, pillow = ours + a, pillow + b
    if a / b > worst:
        worst, worst_name = a / b, os.path.relpath(name, sys.argv[1])
print(f"saved PNGs: ours {ours} bytes, Pillow's optimize=True {pillow}, "
      f"ratio {ours / pillow:.3f}; worst file {worst_name} {worst:.3f} (at most 1.1)")
sys.exit(worst > 1.1)
PY
exit $status
