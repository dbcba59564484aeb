#!/bin/sh
# Datagram load on live_tracker: a burst sent back to back, then a sustained
# rate, each counted in the CSV and KML files. The tracker runs without a
# terminal (under setsid), its answers and its Esc coming from a pipe.
#
#   bench/live_load.sh [build-dir]      (default: build)
set -eu
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# run NAME SECONDS SENDER-ARGS...: starts the tracker, sends, ends it with Esc.
run() {
  name=$1 seconds=$2
  shift 2
  { printf '%s\n' "$name"; sleep "$seconds"; printf '\033'; sleep 1; printf 'x'; } |
    setsid "$build/bin/live_tracker" > "$name.console" 2>&1 &
  tracker=$!
  sleep 0.5
  start=$(date +%s.%N)
  "$build/bin/decode_sender" --message DECPAA-MBXAAA "$@" > /dev/null
  end=$(date +%s.%N)
  wait "$tracker"
  sent=$(echo "$@" | sed -n 's/.*--count \([0-9]*\).*/\1/p')
  csv=$(($(wc -l < "$name.CSV") - 1))
  kml=$(($(wc -l < "$name.KML") - 41))
  printf '%-10s sent %6d in %6.2f s   CSV lines %6d   KML points %6d   lost %d\n' \
    "$name" "$sent" "$(awk "BEGIN { print $end - $start }")" "$csv" "$kml" $((sent - csv))
}

run BURST 3 --count 1000
run SUSTAINED 12 --count 20000 --rate 2000
