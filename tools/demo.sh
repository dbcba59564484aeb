#!/bin/sh
# The live job on the bundled sample: live_tracker in this terminal, fed by
# decode_sender replaying samples/ALL.TXT as WSJT-X would send it.
# Answer the destination question (Enter takes the default), watch the
# decodes arrive, press Esc to finish and any key to close. The track and
# the table go to a scratch folder, named before and after the run.
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
scratch=$(mktemp -d "${TMPDIR:-/tmp}/wsjt-demo.XXXXXX") || exit 1
echo "The demo writes its track and table in $scratch"
cd "$scratch" || exit 1
# The tracker opens its socket before it asks; datagrams sent meanwhile wait.
(sleep 2; exec "$bin/decode_sender" --log "$top/samples/ALL.TXT" --interval 100 --heartbeats > /dev/null) &
sender=$!
trap 'kill $sender 2>/dev/null' EXIT INT TERM
"$bin/live_tracker"
status=$?
echo "The demo's track and table:"
ls -l "$scratch"
exit $status
