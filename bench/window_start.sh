#!/usr/bin/env bash
# The glyptika program from its launch to its first painted main window, with
# the fonts installed on this machine (median of RUNS starts, default 15).
# On Qt's offscreen platform unless a display is given.
set -euo pipefail
dir=${1:-build/release}
app="$dir/src/gui/glyptika"
[ -x "$app" ] || { echo "window_start: $app is not built"; exit 0; }
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
/usr/bin/python3 - "$app" "${RUNS:-15}" <<'PY'
import os, statistics, subprocess, sys, time
app, runs = sys.argv[1], int(sys.argv[2])
times = []
for _ in range(runs):
    env = dict(os.environ, GLYPTIKA_FIRST_PAINT_SINCE_NS=str(time.clock_gettime_ns(time.CLOCK_MONOTONIC)))
    out = subprocess.run([app], env=env, capture_output=True, text=True, timeout=60).stdout
    times.append(float(out.split("after")[1].split("ms")[0]))
print(f"start to first painted window: median {statistics.median(times):.0f} ms, "
      f"min {min(times):.0f} ms, max {max(times):.0f} ms over {runs} starts (goal 500 ms)")
PY
