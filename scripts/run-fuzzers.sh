#!/bin/sh
# run-fuzzers.sh SECONDS [BUILD_DIR]
# Configures and builds the libFuzzer targets with clang (MORVAK_FUZZ=ON) in
# BUILD_DIR (default build-fuzz), runs each target for SECONDS seconds from its
# seed corpus and the corpus kept in BUILD_DIR/fuzz/corpus, and prints, per
# target, the executions run and the crashes found. A crash, hang (-timeout)
# or memory blow-up (-rss_limit_mb) is kept in BUILD_DIR/fuzz/artifacts/TARGET/
# and makes the script exit 1; the log of each run is in BUILD_DIR/fuzz/logs/.
# Environment: MORVAK_FUZZ_JOBS (build jobs, default 2), MORVAK_FUZZ_TIMEOUT
# (seconds one input may take, default 10), MORVAK_FUZZ_RSS_MB (default 2048).
set -eu

usage() {
  echo "usage: $0 SECONDS [BUILD_DIR]" >&2
  exit 2
}
if [ $# -lt 1 ] || [ $# -gt 2 ]; then usage; fi
case "$1" in
  '' | *[!0-9]*) usage ;;
esac
[ "$1" -gt 0 ] || usage
seconds=$1
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build-fuzz}
jobs=${MORVAK_FUZZ_JOBS:-2}
timeout=${MORVAK_FUZZ_TIMEOUT:-10}
rss=${MORVAK_FUZZ_RSS_MB:-2048}
targets="fuzz_image_scan fuzz_coff_parse fuzz_wait_report fuzz_profile_file fuzz_handset_parser"

mkdir -p "$build/fuzz/logs"
if ! CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DMORVAK_FUZZ=ON \
    -DMORVAK_GUI=OFF -DMORVAK_BENCH=OFF -DMORVAK_WERROR=ON >"$build/fuzz/logs/configure.log" 2>&1; then
  cat "$build/fuzz/logs/configure.log" >&2
  echo "run-fuzzers: configuring $build failed" >&2
  exit 1
fi
# shellcheck disable=SC2086
if ! cmake --build "$build" -j "$jobs" --target $targets morvak_fuzz_seeds >"$build/fuzz/logs/build.log" 2>&1; then
  tail -n 40 "$build/fuzz/logs/build.log" >&2
  echo "run-fuzzers: building the fuzz targets failed" >&2
  exit 1
fi

# The targets' scratch files stay inside the build directory.
TMPDIR="$build/fuzz/tmp"
export TMPDIR
mkdir -p "$TMPDIR"

artifacts_in() {
  find "$1" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l
}

failed=0
report=""
for target in $targets; do
  corpus="$build/fuzz/corpus/$target"
  artifacts="$build/fuzz/artifacts/$target"
  log="$build/fuzz/logs/$target.log"
  mkdir -p "$corpus" "$artifacts"
  before=$(artifacts_in "$artifacts")
  echo "run-fuzzers: $target for ${seconds} s" >&2
  status=0
  "$build/bin/$target" -max_total_time="$seconds" -timeout="$timeout" -rss_limit_mb="$rss" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$build/fuzz/seeds/$target" \
    >"$log" 2>&1 || status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$executions" ] || executions="?"
  crashes=$(($(artifacts_in "$artifacts") - before))
  # A run that failed without leaving an input still counts as a crash.
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  if [ "$crashes" -ne 0 ]; then
    failed=1
    echo "run-fuzzers: $target failed (exit status $status); see $log and $artifacts/" >&2
    grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz_)' "$log" | head -n 5 >&2 || true
  fi
  report="$report$(printf '%-22s %14s %8s' "$target" "$executions" "$crashes")
"
done

printf '%-22s %14s %8s\n' target executions crashes
printf '%s' "$report"
exit $failed
