#!/bin/sh
# Datagram load on live_tracker: a burst sent back to back, then a sustained
# rate, each counted in the CSV and KML files; then the time from a
# datagram's arrival to its point whole in both files, median and 99th
# percentile, for a steady stream and for bursts (bench/live_latency.py).
# The tracker runs without a terminal (under setsid), its answers and its
# Esc coming from a pipe.
#
#   bench/live_load.sh [build-dir]      (default: build)
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# A log of COUNT position reports in the fixed columns, each a decode of its
# own (the tracker passes over a copy of one it has handled): the minute and
# the audio offset tell them apart.
make_log() {
  awk -v n="$1" 'BEGIN { for (i = 0; i < n; i++)
    printf "%02d%02d      %4d %5.1f%5d  ~        DECPAA-MBXAAA\n",
           (i % 1440) / 60, i % 60, -10, 0.2, 200 + int(i / 1440) }'
}

# run NAME SECONDS COUNT [SENDER-ARGS...]: starts the tracker, sends COUNT
# reports, ends it with Esc.
run() {
  name=$1 seconds=$2 sent=$3
  shift 3
  make_log "$sent" > "$name.log"
  { printf '%s\n' "$name"; sleep "$seconds"; printf '\033'; sleep 1; printf 'x'; } |
    setsid "$build/bin/live_tracker" > "$name.console" 2>&1 &
  tracker=$!
  sleep 0.5
  start=$(date +%s.%N)
  "$build/bin/decode_sender" --log "$name.log" "$@" > /dev/null
  end=$(date +%s.%N)
  wait "$tracker"
  csv=$(($(wc -l < "$name.CSV") - 1))
  kml=$(($(wc -l < "$name.KML") - 41))
  printf '%-10s sent %6d in %6.2f s   CSV lines %6d   KML points %6d   lost %d\n' \
    "$name" "$sent" "$(awk "BEGIN { print $end - $start }")" "$csv" "$kml" $((sent - csv))
}

run BURST 3 1000
run SUSTAINED 12 20000 --rate 2000

# The time from a datagram's arrival to its point whole in the files.
echo "Load: $(uptime | sed 's/.*load average: //')"
python3 "$top/bench/live_latency.py" "$build/bin/live_tracker"
