#!/usr/bin/env bash
# Our PNGs of real renderings against Pillow's smallest (optimize=True) of the
# same pixels: the ratio of their sizes, per image. Fails when ours is more
# than 1.1 times Pillow's.
#
#   bench/png_sizes.sh [BUILD_DIR]   (default build/release; `make bench` runs it)
set -euo pipefail

dir=${1:-build/release}
tool="$dir/bench/png_sizes"
if [ ! -x "$tool" ]; then
  echo "png_sizes: $tool is not built (make bench builds it)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$tool" "$work"

/usr/bin/python3 - "$work" <<'PY'
import glob, os, re, sys
from PIL import Image
worst = 0
for raw in sorted(glob.glob(os.path.join(sys.argv[1], "*.rgba"))):
    name, w, h = re.match(r"(.*)\.(\d+)x(\d+)\.rgba$", os.path.basename(raw)).groups()
    im = Image.frombytes("RGBA", (int(w), int(h)), open(raw, "rb").read())
    if im.getextrema()[3][0] == 255:
        im = im.convert("RGB")  # what Pillow is given for an opaque image
    theirs = os.path.join(sys.argv[1], name + ".pillow.png")
    im.save(theirs, optimize=True)
    ours_file = os.path.join(sys.argv[1], name + ".png")
    ours, kind = os.path.getsize(ours_file), Image.open(ours_file).mode
    pillow = os.path.getsize(theirs)
    ratio = ours / pillow
    worst = max(worst, ratio)
    print(f"{name} ({w}x{h}): ours {ours} bytes ({kind}), Pillow {pillow} ({im.mode}), ratio {ratio:.3f}")
if worst > 1.1:
    sys.exit(f"png_sizes: ours is {worst:.3f} times Pillow's, more than 1.1")
PY
