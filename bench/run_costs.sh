#!/usr/bin/env bash
# What a glyptika-cli run pays for what earlier runs left or for characters it
# cannot draw: a run whose kept font answers are fresh against one after 1,000
# other face names were asked, and the 224 characters of --fill all with
# fallback on against --no-fallback. Each pair should cost the same.
#
#   bench/run_costs.sh [BUILD_DIR]   (default build/release; `make bench` runs it)
#   RUNS=N bench/run_costs.sh        runs per measurement (default 30)
set -euo pipefail

dir=${1:-build/release}
cli="$dir/src/cli/glyptika-cli"
runs=${RUNS:-30}
names=${NAMES:-1000}
python=/usr/bin/python3

if [ ! -x "$cli" ]; then
  echo "run_costs: $cli is not built (make bench builds it)" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Runs the commands given (each a JSON list of words; leading NAME=VALUE words
# set the environment) in turns, RUNS rounds after one untimed round, and
# prints each one's median wall time in milliseconds. Taking turns puts both
# under the same conditions on a shared machine.
measure() {
  "$python" - "$runs" "$@" <<'PYEOF'
import json, os, statistics, subprocess, sys, time
runs, cmds = int(sys.argv[1]), [json.loads(c) for c in sys.argv[2:]]
def once(cmd):
    env = dict(os.environ)
    while "=" in cmd[0] and "/" not in cmd[0].split("=")[0]:
        name, value = cmd[0].split("=", 1)
        env[name] = value
        cmd = cmd[1:]
    start = time.perf_counter()
    done = subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, env=env)
    if done.returncode != 0:
        sys.exit("run_costs: failed: %s\n%s" % (" ".join(cmd), done.stderr.decode(errors="replace")))
    return (time.perf_counter() - start) * 1000
for cmd in cmds:
    once(cmd)
times = [[] for _ in cmds]
for _ in range(runs):
    for i, cmd in enumerate(cmds):
        times[i].append(once(cmd))
print(" ".join("%.2f" % statistics.median(t) for t in times))
PYEOF
}

words() { "$python" -c 'import json, sys; print(json.dumps(sys.argv[1:]))' "$@"; }

echo "run_costs: $runs rounds taking turns, median wall time; load average: $(cut -d' ' -f1-3 /proc/loadavg)"

# One cache folder answered only this run's questions; the other first saw
# $names face names no font has, as a script trying names would ask them;
# one in a hundred is as long as an argument can be.
mkdir -p "$work/fresh" "$work/used"
long=$(head -c 131000 /dev/zero | tr '\0' x)
for ((i = 0; i < names; ++i)); do
  name="No Such Face $i"
  if ((i % 100 == 0)); then name+=$long; fi
  XDG_CACHE_HOME="$work/used" "$cli" fonts "$name" >/dev/null 2>&1 || true
done
hello=(render --text "Hello World" --out "$work/hello.gif")
t=($(measure "$(words XDG_CACHE_HOME="$work/fresh" "$cli" "${hello[@]}")" \
  "$(words XDG_CACHE_HOME="$work/used" "$cli" "${hello[@]}")"))
echo "kept answers: fresh ${t[0]} ms, after $names names ${t[1]} ms" \
  "($(du -sk "$work/used" | cut -f1) KiB kept)"

all=(render --fill all --out "$work/all.gif")
t=($(measure "$(words XDG_CACHE_HOME="$work/fresh" "$cli" "${all[@]}")" \
  "$(words XDG_CACHE_HOME="$work/fresh" "$cli" "${all[@]}" --no-fallback)"))
echo "--fill all: fallback on ${t[0]} ms, --no-fallback ${t[1]} ms"
