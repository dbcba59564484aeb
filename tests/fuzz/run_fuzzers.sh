#!/bin/bash
# Builds the fuzz targets with clang and runs each one on a copy of its seed
# corpus.
#   tests/fuzz/run_fuzzers.sh [executions [seconds]]
#     executions per target (default 10000000), and at most that many
#     seconds each when given (tools/test.sh: 50000 20)
# Environment:
#   FUZZ_BUILD_DIR  build folder (default /tmp/fuzz-build)
#   FUZZ_JOBS       targets run at the same time (default 1)
#   FUZZ_TARGETS    the targets to run (default all of them, slowest first)
#   FUZZ_KNOWN_FAULTS  checks to relax for faults already reported (see
#                   fuzz_check.h), so that a run goes on to find others
# Prints per target the executions done and "clean" or what was found;
# exits non-zero when any target found something.
set -eu

runs=${1:-10000000}
seconds=${2:-0}  # 0: no time limit
here=$(cd "$(dirname "$0")" && pwd)
build=${FUZZ_BUILD_DIR:-/tmp/fuzz-build}
jobs=${FUZZ_JOBS:-1}
# Slowest first, so that with FUZZ_JOBS=2 the quick ones fill the other core
# while the slow ones run: for 10,000,000 executions each, fuzz_line_reader
# and fuzz_seen_decodes take hours, fuzz_log_line minutes.
targets=${FUZZ_TARGETS:-"fuzz_line_reader fuzz_seen_decodes fuzz_mask fuzz_keys fuzz_datagram fuzz_log_line"}

# clang and its fuzzer runtime (libFuzzer comes with compiler-rt), when missing.
packages="cmake make clang-14 libclang-rt-14-dev libgtest-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
fi
cxx=$(command -v clang++-14 || command -v clang++)

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)" >/dev/null

max_len_of() {
  case "$1" in
    fuzz_datagram|fuzz_log_line|fuzz_seen_decodes) echo 2048 ;;
    fuzz_mask) echo 1024 ;;
    fuzz_keys) echo 512 ;;
    fuzz_line_reader) echo 65536 ;;
    *) echo 4096 ;;
  esac
}

# Runs one target; its log, corpus copy and findings go to $build/runs/<target>.
run_one() {
  t=$1
  work="$build/runs/$t"
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/findings"
  cp "$here/corpus/$t/"* "$work/corpus/" 2>/dev/null || true
  start=$(date +%s)
  status=0
  "$build/bin/$t" -runs="$runs" -max_total_time="$seconds" -max_len="$(max_len_of "$t")" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/findings/" "$work/corpus" >"$work/log" 2>&1 ||
    status=$?
  took=$(( $(date +%s) - start ))
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log" | tail -n 1)
  [ -n "$executions" ] || executions=$(sed -n 's/^#\([0-9]*\).*/\1/p' "$work/log" | tail -n 1)
  finding=$(ls "$work/findings" 2>/dev/null | head -n 1)
  if [ "$status" -eq 0 ] && [ -z "$finding" ]; then
    echo "$t: ${executions:-0} executions in ${took} s: clean" >"$work/result"
  else
    {
      echo "$t: ${executions:-?} executions in ${took} s: FOUND ${finding:+$work/findings/$finding}"
      grep -m 1 -E "^(==[0-9]+==ERROR|SUMMARY|FUZZ CHECK FAILED)|runtime error" "$work/log" | sed 's/^/  /' || true
      grep -m 1 -A 2 "FUZZ CHECK FAILED" "$work/log" | tail -n 2 | cut -c 1-400 | sed 's/^/  /' || true
      echo "  log: $work/log"
    } >"$work/result"
  fi
}

# At most $jobs at a time; results in the order the targets were given.
running=0
for t in $targets; do
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
  run_one "$t" &
  running=$((running + 1))
done
wait

failed=0
for t in $targets; do
  cat "$build/runs/$t/result"
  grep -q ": clean$" "$build/runs/$t/result" || failed=1
done
exit $failed
