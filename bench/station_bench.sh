#!/bin/sh
# The station's throughput and memory on virtual benches, measured on whole
# morvak-cli processes (/usr/bin/time -v; heaptrack for the heap's peak when
# it is installed):
#   one port,   10 units: flash --watch --units 10 --virtual-handset=count=1,speed=20,cycle=200
#   four ports, 40 units: flash --watch --units 40 --virtual-handset=count=4,speed=20,cycle=200
# and prints units per hour of each, their ratio, the peak resident memory and
# the heap's peak against one programmer and one working buffer per busy port
# (the working buffer is the largest of 0x120000 bytes, the raw part and the
# image's longest record).
#
#   bench/station_bench.sh [BUILD_DIR]     (default: build; the demo image)
set -eu
cd "$(dirname "$0")/.."
BIN="${1:-build}/bin"
IMAGE="$BIN/demo.img"
for f in "$BIN/morvak-cli" "$IMAGE" /usr/bin/time; do
  [ -e "$f" ] || { echo "station_bench: $f is missing (build the project first)" >&2; exit 1; }
done
WORK=$(mktemp -d /tmp/morvak-station-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

# run PORTS UNITS: the station until UNITS runs have ended.
run() {
  /usr/bin/time -v -o "$WORK/time.$1" "$BIN/morvak-cli" flash --watch --units "$2" \
    "--virtual-handset=count=$1,speed=20,cycle=200" "$IMAGE" >"$WORK/out.$1" 2>&1 ||
    { echo "station_bench: the station on $1 port(s) failed:" >&2; tail -5 "$WORK/out.$1" >&2; exit 1; }
  # m:ss.cc or h:mm:ss
  seconds=$(sed -n 's/.*Elapsed (wall clock).*: //p' "$WORK/time.$1" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.$1")
  echo "$seconds $rss"
}

set -- $(run 1 10)
one_seconds=$1 one_rss=$2
set -- $(run 4 40)
four_seconds=$1 four_rss=$2
awk -v s1="$one_seconds" -v s4="$four_seconds" -v r1="$one_rss" -v r4="$four_rss" 'BEGIN {
  u1 = 10 * 3600 / s1; u4 = 40 * 3600 / s4
  printf "one port:   10 units in %.2f s, %.0f units per hour, peak RSS %d KiB\n", s1, u1, r1
  printf "four ports: 40 units in %.2f s, %.0f units per hour, peak RSS %d KiB\n", s4, u4, r4
  printf "throughput of four ports: %.2f times that of one port\n", u4 / u1
}'

# One programmer and one working buffer per busy port.
programmer=$(wc -c <"$BIN/file/NANDOUT.nb0")
# The largest of IMAGE_BUFFER_MIN, the raw part and the longest record.
working_buffer() {
  "$BIN/morvak-cli" inspect "$IMAGE" | awk '
    /^raw part:/ { raw = $3 }
    /^  0x/ { if ($2 > longest) longest = $2 }
    END { b = 1179648; if (raw > b) b = raw; if (longest > b) b = longest; print b }'
}
buffer=$(working_buffer)
echo "allowance per busy port: $programmer (programmer) + $buffer (working buffer) bytes;" \
  "four ports: $((4 * (programmer + buffer))) bytes"
if command -v heaptrack >/dev/null 2>&1 && command -v heaptrack_print >/dev/null 2>&1; then
  heaptrack -o "$WORK/heap" "$BIN/morvak-cli" flash --watch --units 40 \
    "--virtual-handset=count=4,speed=20,cycle=200" "$IMAGE" >/dev/null 2>&1
  heaptrack_print "$WORK"/heap*.zst 2>/dev/null | sed -n 's/^peak heap memory consumption: /four ports, heap peak: /p'
else
  echo "heaptrack is not installed: the heap's peak is not measured (apt-get install heaptrack)"
fi
