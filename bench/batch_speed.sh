#!/bin/sh
# The batch pass against the time the machine takes to read the file: makes
# three deterministic 1 GiB decode logs, one in the fixed columns (CR LF),
# one as WSJT-X 2.x writes ALL.TXT on Linux (LF) and one as JTDX 2.2 writes
# its monthly log (LF), then runs wc -l, log_lister
# and log_tracker
# (a batch pass writing a KML file) on it several times each, without a
# terminal (under setsid: console output to a file, answers from stdin), and
# prints for each log the median times, each program's ratio to wc -l, the
# processor time of the median run (both threads of the batch pass counted),
# and peak memory.
#
#   bench/batch_speed.sh [build-dir] [runs]      (defaults: build, 5)
#
# A build configured with -DMARK_SCAN_WIDEST=avx2 measures the AVX2 path on
# a processor that has AVX-512.
set -eu
top=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# measure NAME STDIN COMMAND...: the median elapsed milliseconds of RUNS runs,
# the processor time (user + system, all threads) of that run, and the
# highest peak resident memory in kilobytes.
measure() {
  name=$1 answers=$2
  shift 2
  : > "$work/$name.times"
  i=0
  while [ "$i" -lt "$runs" ]; do
    start=$(date +%s%N)
    printf '%b' "$answers" | setsid /usr/bin/time -f '%U %S %M' -o "$work/time" "$@" \
      > "$work/$name.out" 2>&1
    end=$(date +%s%N)
    echo "$(( (end - start) / 1000000 )) $(cat "$work/time")" >> "$work/$name.times"
    i=$((i + 1))
  done
  sort -n "$work/$name.times" | awk -v n="$runs" -v name="$name" '
    { t[NR] = $1; cpu[NR] = $2 + $3; if ($4 > m) m = $4 }
    END { k = int((n + 1) / 2); printf "%s %d %.2f %d\n", name, t[k], cpu[k], m }'
}

cd "$work"
echo "Scan: $("$build/bin/mark_scan_path")"
for layout in fixed wsjtx2 jtdx; do
  log="$work/$layout.TXT"
  case $layout in
    fixed) python3 "$top/bench/make_big_log.py" "$log"
           echo "Fixed columns, CR LF:" ;;
    wsjtx2) python3 "$top/bench/make_big_log.py" "$log" --wsjtx2
            echo "WSJT-X 2.x ALL.TXT, LF:" ;;
    jtdx) python3 "$top/bench/make_big_log.py" "$log" --jtdx
          echo "JTDX 2.2 yyyyMM_ALL.TXT, LF:" ;;
  esac
  cat "$log" > /dev/null  # into the page cache
  {
    measure wc '' wc -l "$log"
    measure log_lister '' "$build/bin/log_lister" "$log"
    measure log_tracker 'N\nBENCH\n' "$build/bin/log_tracker" "$log"
  } > results
  awk '
    NR == 1 { base = $2 }
    { printf "  %-12s median %5d ms  %5.2f x wc -l   processor %5.2f s   peak %5.1f MiB\n",
        $1, $2, $2 / base, $3, $4 / 1024 }
  ' results
  echo "  reports listed: $(grep -c 'Hz ' log_lister.out)   KML lines: $(wc -l < BENCH.KML)"
  rm -f "$log"
done
