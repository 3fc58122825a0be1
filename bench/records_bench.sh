#!/bin/sh
# morvak-cli records on a large record file, measured on whole processes
# (/usr/bin/time -v): a generated file of LINES records (default 1,000,000)
# on eight ports, mostly passed, some failed and stopped, one record in a
# thousand torn with the next glued to it, read as a listing, as CSV and as
# the failed runs. Prints lines a second (by the wall clock and by processor
# time) and the peak resident memory of each.
#
#   bench/records_bench.sh [BUILD_DIR] [LINES]     (default: build 1000000)
set -eu
cd "$(dirname "$0")/.."
BIN="${1:-build}/bin"
LINES="${2:-1000000}"
for f in "$BIN/morvak-cli" /usr/bin/time; do
  [ -e "$f" ] || { echo "records_bench: $f is missing (build the project first)" >&2; exit 1; }
done
WORK=$(mktemp -d /tmp/morvak-records-bench.XXXXXX)
trap 'rm -rf "$WORK"' EXIT

awk -v n="$LINES" 'BEGIN {
  split("succeeded succeeded succeeded succeeded succeeded succeeded failed stopped", results, " ")
  for (i = 0; i < n; i++) {
    t = 1796889600 + i * 7
    day = int(t / 86400) - 20797
    s = t % 86400
    r = results[i % 8 + 1]
    line = sprintf("{\"time\":\"2026-12-%02d T%02d:%02d:%02d.%03dZ\",\"port\":\"virtual-%d\",\"asic_id\":\"56484e44%08x\",", \
      10 + day % 20, int(s / 3600), int(s % 3600 / 60), s % 60, i % 1000, i % 8 + 1, i)
    sub(/ T/, "T", line)
    line = line "\"image\":\"/srv/images/demo.img\",\"image_sha256\":\"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\","
    line = line "\"image_type\":\"img\",\"flash_type\":\"NAND\",\"erase_reserved\":false,\"crc_check\":true,\"result\":\"" r "\","
    if (r == "failed")
      line = line "\"stage\":\"record 3\",\"error_code\":\"0x1B\",\"reason\":\"the handset did not answer; plug it in again\","
    else
      line = line "\"stage\":null,\"error_code\":null,\"reason\":null,"
    line = line "\"last_line\":\"Flashing finished\",\"elapsed_seconds\":" (i % 90 + 10) ".250}"
    # A writer that died mid-record: the next record is glued to the torn one.
    if (i % 1000 == 999) printf "%s", substr(line, 1, 60)
    else print line
  }
}' >"$WORK/records.jsonl"

# run NAME ARGS...: seconds and peak resident kilobytes of one records command.
run() {
  name=$1
  shift
  /usr/bin/time -v -o "$WORK/time.$name" "$BIN/morvak-cli" records "$@" "$WORK/records.jsonl" \
    >"$WORK/out.$name" 2>"$WORK/err.$name" ||
    { echo "records_bench: records $* failed:" >&2; tail -5 "$WORK/err.$name" >&2; exit 1; }
  seconds=$(sed -n 's/.*Elapsed (wall clock).*: //p' "$WORK/time.$name" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  rss=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$WORK/time.$name")
  # The processor's time too: on a shared machine the wall clock also counts the neighbours.
  cpu=$(sed -n 's/.*\(User\|System\) time (seconds): //p' "$WORK/time.$name" | awk '{ s += $1 } END { print s }')
  awk -v name="$name" -v n="$LINES" -v s="$seconds" -v c="$cpu" -v r="$rss" 'BEGIN {
    printf "%-8s %9d lines  %6.2f s  %9.0f lines/s  (CPU %6.2f s, %9.0f lines/s)  peak RSS %7.1f MiB\n",
      name, n, s, (s > 0 ? n / s : 0), c, (c > 0 ? n / c : 0), r / 1024 }'
}

run listing
run csv --csv
run failed --failed
