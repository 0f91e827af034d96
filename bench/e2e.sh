#!/usr/bin/env bash
# End to end: the whole `glyptika-cli render` process, from exec to a GIF on
# disk, against ImageMagick's convert and Pillow drawing the same text in the
# same font file at the same size. Prints each median and the ratios.
#
#   bench/e2e.sh [BUILD_DIR]      (default build/release; `make bench` runs it)
#   RUNS=N bench/e2e.sh           runs per measurement (default 30)
#
# ImageMagick is installed here if it is missing: the benchmark is its only use.
set -euo pipefail

dir=${1:-build/release}
cli="$dir/src/cli/glyptika-cli"
runs=${RUNS:-30}
python=/usr/bin/python3
convert=/usr/bin/convert

if [ ! -x "$cli" ]; then
  echo "e2e: $cli is not built (make bench builds it)" >&2
  exit 1
fi

if [ ! -x "$convert" ]; then
  echo "e2e: installing imagemagick for the comparison"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; fi
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    imagemagick >/dev/null
fi
if ! "$python" -c 'import PIL' 2>/dev/null; then
  echo "e2e: python3-pil is missing (scripts/install-deps installs it)" >&2
  exit 1
fi

# The face glyptika-cli takes by default, and its file for the others.
font_file=$(fc-match -f '%{file}' sans-serif)
face=$(fc-match -f '%{family[0]}' sans-serif)
size=30

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The 224 characters of Windows-1252 codes 32 to 255, one per line; the five
# codes it leaves undefined stand for the C1 controls of the same number.
"$python" - "$work/all.txt" <<'EOF'
import sys
chars = []
for code in range(32, 256):
    try:
        chars.append(bytes([code]).decode("cp1252"))
    except UnicodeDecodeError:
        chars.append(chr(code))
open(sys.argv[1], "w", encoding="utf-8").write("\n".join(chars))
EOF
printf 'Hello World' >"$work/hello.txt"

cat >"$work/pillow.py" <<'EOF'
import sys
from PIL import Image, ImageDraw, ImageFont
font_file, size, text_file, out = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
lines = open(text_file, encoding="utf-8").read().split("\n")
font = ImageFont.truetype(font_file, size)
ascent, descent = font.getmetrics()
height = ascent + descent
width = max(1, max(int(font.getlength(line)) + 1 for line in lines))
image = Image.new("RGB", (width, height * len(lines)), "white")
draw = ImageDraw.Draw(image)
for i, line in enumerate(lines):
    draw.text((0, i * height), line, font=font, fill="black")
image.save(out)
EOF

# ImageMagick's -annotate reads % and \ as escapes: double them.
im_text_all=$(sed -e 's/\\/\\\\/g' -e 's/%/%%/g' "$work/all.txt")

# Runs the commands given (each a JSON list of words, one per argument) in
# turns, RUNS rounds after one untimed round, and prints for each a line with
# its median wall time and median CPU time (user + system) in milliseconds.
# Taking turns puts the tools under the same conditions: on a shared machine
# the speed drifts over the seconds one tool's runs would take. CPU time is
# shown beside wall time because on a busy machine a short process waits for a
# core longer, in proportion, than a long one.
measure() {
  "$python" - "$runs" "$@" <<'PYEOF'
import json, os, resource, statistics, subprocess, sys, time
runs, cmds = int(sys.argv[1]), [json.loads(c) for c in sys.argv[2:]]
def once(cmd):
    # Leading NAME=VALUE words set the environment, as env(1) takes them.
    env = dict(os.environ)
    while cmd and "=" in cmd[0] and "/" not in cmd[0].split("=")[0]:
        name, value = cmd[0].split("=", 1)
        env[name] = value
        cmd = cmd[1:]
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if done.returncode != 0:
        sys.exit("e2e: failed: %s\n%s" % (" ".join(cmd), done.stderr.decode(errors="replace")))
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return wall * 1000, cpu * 1000
for cmd in cmds:
    once(cmd)
times = [[] for _ in cmds]
for _ in range(runs):
    for i, cmd in enumerate(cmds):
        times[i].append(once(cmd))
for t in times:
    walls, cpus = zip(*t)
    print("%.3f %.3f" % (statistics.median(walls), statistics.median(cpus)))
PYEOF
}

# A command as a JSON list of words.
words() { "$python" -c 'import json, sys; print(json.dumps(sys.argv[1:]))' "$@"; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", a / b }'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN { print (r >= g) ? "met" : "MISSED" }'; }

echo "e2e: $runs rounds, the tools taking turns; median wall time, and median CPU time (user + system) in brackets"
echo "font: $face ($font_file), $size px; load average: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-26s %20s %20s %20s %12s %12s\n' text glyptika-cli ImageMagick Pillow "IM ratio" "PIL ratio"

run_case() {
  local name=$1 text_file=$2 ours imagick pillow
  shift 2
  ours=$(words "$cli" render --font "$face" --size $size "$@" --out "$work/ours.gif")
  if [ "$name" = "Hello World" ]; then
    imagick=$(words "$convert" -font "$font_file" -pointsize $size "label:Hello World" \
      "$work/im.gif")
  else
    imagick=$(words "$convert" -size 64x$((224 * (size + 10))) xc:white -font "$font_file" \
      -pointsize $size -fill black -annotate +0+$size "$im_text_all" "$work/im.gif")
  fi
  pillow=$(words "$python" "$work/pillow.py" "$font_file" $size "$text_file" "$work/pil.gif")
  local asking times o i p a
  asking=$(words GLYPTIKA_FONT_ANSWERS=off "$cli" render --font "$face" --size $size "$@" \
    --out "$work/asking.gif")
  # ImageMagick runs on its own: a second of its work between two short runs
  # would leave them caches it had emptied.
  times=$(measure "$ours" "$pillow" "$asking")
  o=($(sed -n 1p <<<"$times"))
  p=($(sed -n 2p <<<"$times"))
  a=($(sed -n 3p <<<"$times"))
  i=($(measure "$imagick"))
  local r_im r_pil c_im c_pil
  r_im=$(ratio "${i[0]}" "${o[0]}")
  r_pil=$(ratio "${p[0]}" "${o[0]}")
  c_im=$(ratio "${i[1]}" "${o[1]}")
  c_pil=$(ratio "${p[1]}" "${o[1]}")
  printf '%-26s %9s ms (%6s) %9s ms (%6s) %9s ms (%6s) %5sx (%4sx) %5sx (%4sx)\n' "$name" \
    "${o[0]}" "${o[1]}" "${i[0]}" "${i[1]}" "${p[0]}" "${p[1]}" "$r_im" "$c_im" "$r_pil" "$c_pil"
  echo "  goals on wall time: 10x ImageMagick $(verdict "$r_im" 10), 8x Pillow $(verdict "$r_pil" 8)"
  echo "  glyptika-cli asking fontconfig every run (GLYPTIKA_FONT_ANSWERS=off): ${a[0]} ms" \
    "(${a[1]}), $(ratio "${i[0]}" "${a[0]}")x ImageMagick, $(ratio "${p[0]}" "${a[0]}")x Pillow"
}

run_case "Hello World" "$work/hello.txt" --text "Hello World"
run_case "224 lines (codes 32-255)" "$work/all.txt" --fill all
