#!/bin/sh
# The live job on the bundled sample: live_tracker in this terminal, fed by
# decode_sender replaying samples/ALL.TXT as WSJT-X would send it.
# Answer the destination question (Enter takes the default), watch the
# decodes arrive, press Esc to finish and any key to close.
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/bin"
# The tracker opens its socket before it asks; datagrams sent meanwhile wait.
(sleep 2; exec "$bin/decode_sender" --log "$top/samples/ALL.TXT" --interval 100 --heartbeats > /dev/null) &
sender=$!
trap 'kill $sender 2>/dev/null' EXIT INT TERM
"$bin/live_tracker"
