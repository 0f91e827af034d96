#!/usr/bin/env bash
# Peak memory of each hostile file of bench_decode's Hostile/* loaded alone
# (above the program's own), with the benchmark's time per load; then
# glyptika-cli inspect on endless and 1 GB inputs, GIF and PNG. Takes a Release build.
set -euo pipefail
dir=${1:-build/release}
bench=$dir/bench/bench_decode
cli=$dir/src/cli/glyptika-cli
[ -x "$bench" ] && [ -x "$cli" ] || { echo "no Release build in $dir"; exit 0; }
# /usr/bin/time's last line: the peak in KB (a failing command adds a line before it).
peak_kb() { /usr/bin/time -f %M -o /tmp/glyptika-peak.$$ "$@" >/dev/null 2>&1 || true; tail -1 /tmp/glyptika-peak.$$; }
base=$(peak_kb "$bench" --benchmark_filter='^none$')
for name in surplus_3MB_1x1 surplus_3MB_1x1_interlaced surplus_10MB_1x1 surplus_10MB_1x1_interlaced \
  one_byte_sub_blocks_10MB tiny_local_tables_10MB empty_comments_10MB; do
  out=$(/usr/bin/time -f %M -o /tmp/glyptika-peak.$$ "$bench" --benchmark_filter="^Hostile/$name/" \
    --benchmark_format=csv 2>/dev/null | grep "Hostile/")
  kb=$(tail -1 /tmp/glyptika-peak.$$)
  real=$(echo "$out" | cut -d, -f3)
  cpu=$(echo "$out" | cut -d, -f4)
  err=$(echo "$out" | awk -F, '{print $(NF-1)}')
  printf '%-28s %7.1f ms per load (%7.1f ms CPU), error %2s, peak %4d MB above the program\n' \
    "$name" "$real" "$cpu" "${err:-?}" $(((kb - base) / 1024))
done
t0=$(date +%s.%N)
kb=$(peak_kb "$cli" inspect /dev/zero)
printf '%-30s %8.1f ms, peak %5d MB\n' "inspect /dev/zero" "$(echo "($(date +%s.%N) - $t0) * 1000" | bc)" $((kb / 1024))
t0=$(date +%s.%N)
kb=$( (head -c 1000000000 /dev/zero | /usr/bin/time -f %M -o /tmp/glyptika-peak.$$ "$cli" inspect - >/dev/null 2>&1) || true; tail -1 /tmp/glyptika-peak.$$)
printf '%-30s %8.1f ms, peak %5d MB\n' "1 GB of zeros piped" "$(echo "($(date +%s.%N) - $t0) * 1000" | bc)" $((kb / 1024))
# A 1 x 1 image followed by 1 GB of data sub-blocks, then the trailer.
t0=$(date +%s.%N)
kb=$( (/usr/bin/python3 -c '
import sys
o = sys.stdout.buffer
o.write(b"GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff")
o.write(b"\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x4c\x01")
block = b"\xff" + b"\x4c" * 255
chunk = block * 4096
for _ in range(1000000000 // len(chunk)):
    o.write(chunk)
o.write(b"\x00;")
' | /usr/bin/time -f %M -o /tmp/glyptika-peak.$$ "$cli" inspect - >/dev/null 2>&1) || true; tail -1 /tmp/glyptika-peak.$$)
printf '%-30s %8.1f ms, peak %5d MB\n' "1 GB of image data piped" "$(echo "($(date +%s.%N) - $t0) * 1000" | bc)" $((kb / 1024))
# PNG: a header claiming 8192 x 8192 pixels over a few bytes of data, and
# 1 GB of chunks no reader knows, piped.
png() {
  /usr/bin/python3 -c '
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
o = sys.stdout.buffer
o.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 8192, 8192, 8, 6, 0, 0, 0)))
if sys.argv[1] == "unknown":
    block = chunk(b"abCd", bytes(65536)) * 16
    for _ in range(1000000000 // len(block)):
        o.write(block)
o.write(chunk(b"IDAT", zlib.compress(bytes(1000))) + chunk(b"IEND", b""))
' "$1"
}
for kind in header unknown; do
  t0=$(date +%s.%N)
  kb=$( (png $kind | /usr/bin/time -f %M -o /tmp/glyptika-peak.$$ "$cli" inspect - >/dev/null 2>&1) || true; tail -1 /tmp/glyptika-peak.$$)
  printf '%-30s %8.1f ms, peak %5d MB\n' "PNG, $kind" "$(echo "($(date +%s.%N) - $t0) * 1000" | bc)" $((kb / 1024))
done
rm -f /tmp/glyptika-peak.$$
