#!/bin/sh
# The batch pass against the time the machine takes to read the file: makes
# three deterministic 1 GiB decode logs, one in the fixed columns (CR LF),
# one as WSJT-X 2.x writes ALL.TXT on Linux (LF) and one as JTDX 2.2 writes
# its monthly log (LF), then runs wc -l, log_lister and log_tracker (a batch
# pass writing a KML file) on each, the programs without a terminal (under
# setsid: console output to a file, answers from stdin). The runs are
# interleaved (one of each program, then the next round), so that a load
# that comes and goes on the machine falls on all of them alike. For each
# log it prints the median time of each program, its ratio to wc -l, the
# processor time (user + system, every thread) of its median run, and peak
# memory. The tools a user might take instead, ripgrep and grep, count the
# lines that hold a grid of the position reports, when they are installed
# (grep -E, far slower, is run once).
#
#   bench/batch_speed.sh [build-dir] [runs] [other-build-dir]
#                                          (defaults: build, 5, none)
#
# With another build, its programs run in the same rounds and print beside
# (an earlier head, another scan width). A build configured with
# -DMARK_SCAN_WIDEST=avx2 measures the AVX2 path on a processor that has
# AVX-512. BENCH_LOGS=folder keeps the logs there for the next run (they
# are made when missing), instead of making them anew in a folder that goes.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
other=${3:+$(cd "$3" && pwd)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
logs=${BENCH_LOGS:-$work}
mkdir -p "$logs"
logs=$(cd "$logs" && pwd)
grid='[A-Y]{6}-[A-Y]{6}'

# once NAME STDIN COMMAND...: one run, its elapsed milliseconds, processor
# seconds and peak resident kilobytes added to NAME.times.
once() {
  name=$1 answers=$2
  shift 2
  start=$(date +%s%N)
  printf '%b' "$answers" | setsid /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" \
    > "$work/$name.out" 2>&1 || true
  end=$(date +%s%N)
  echo "$(((end - start) / 1000000)) $(cat "$work/time")" >> "$work/$name.times"
}

# The median elapsed time of NAME's runs, the processor time of that run,
# and the highest peak memory: "NAME MS SECONDS KB".
median() {
  sort -n "$work/$1.times" | awk -v name="$1" '
    { t[NR] = $1; cpu[NR] = $2 + $3; if ($4 > m) m = $4 }
    END { k = int((NR + 1) / 2); printf "%s %d %.2f %d\n", name, t[k], cpu[k], m }'
}

# round LOG: one run of every program on LOG.
round() {
  once wc '' wc -l "$1"
  once log_lister '' "$build/bin/log_lister" "$1"
  once log_tracker 'N\nBENCH\n' "$build/bin/log_tracker" "$1"
  if [ -n "$other" ]; then
    once log_lister@other '' "$other/bin/log_lister" "$1"
    once log_tracker@other 'N\nOTHER\n' "$other/bin/log_tracker" "$1"
  fi
  if command -v rg > /dev/null; then once rg '' rg -c "$grid" "$1"; fi
}

# The scan a build uses (mark_scan_path comes with the tests' build).
scan_of() {
  if [ -x "$1/bin/mark_scan_path" ]; then "$1/bin/mark_scan_path"; else echo "unknown"; fi
}

cd "$work"
echo "Scan: $(scan_of "$build")${other:+   other build: $(scan_of "$other")}"
echo "Load before: $(uptime | sed 's/.*load/load/')"
for layout in fixed wsjtx2 jtdx; do
  log="$logs/$layout.TXT"
  case $layout in
    fixed) title="Fixed columns, CR LF:" option= ;;
    wsjtx2) title="WSJT-X 2.x ALL.TXT, LF:" option=--wsjtx2 ;;
    jtdx) title="JTDX 2.2 yyyyMM_ALL.TXT, LF:" option=--jtdx ;;
  esac
  [ -f "$log" ] || python3 "$top/bench/make_big_log.py" "$log" $option
  echo "$title"
  cat "$log" > /dev/null  # into the page cache
  rm -f ./*.times
  i=0
  while [ "$i" -lt "$runs" ]; do
    round "$log"
    i=$((i + 1))
  done
  if command -v grep > /dev/null; then once grep '' grep -cE "$grid" "$log"; fi
  for name in wc log_lister log_tracker log_lister@other log_tracker@other rg grep; do
    if [ -f "$name.times" ]; then median "$name"; fi
  done > results
  awk '
    NR == 1 { base = $2 }
    { sub("@other", " (other)", $1)
      printf "  %-20s median %6d ms  %6.2f x wc -l   processor %6.2f s   peak %6.1f MiB\n",
        $1, $2, $2 / base, $3, $4 / 1024 }
  ' results
  echo "  reports listed: $(grep -c 'Hz ' log_lister.out)   KML lines: $(wc -l < BENCH.KML)$(
    [ -f rg.out ] && printf '   rg lines: %s' "$(cat rg.out)")$(
    [ -f grep.out ] && printf '   grep lines: %s' "$(cat grep.out)")"
  if [ -n "$other" ]; then
    cmp -s log_lister.out log_lister@other.out && echo "  lists alike" || echo "  lists differ"
    cmp -s BENCH.KML OTHER.KML && echo "  KML files alike" || echo "  KML files differ"
  fi
  echo "  load after: $(uptime | sed 's/.*load average: //')"
  [ -n "${BENCH_LOGS:-}" ] || rm -f "$log"
done
