#!/bin/sh
# Runs a test in network and IPC namespaces of its own, where only its own
# loopback interface exists, so that its live_tracker, its senders and
# listeners on UDP port 16004 never meet those of the user (a live_tracker
# the user is running would otherwise share the port with them). Needs
# root, unshare and ip; without them the test runs as it is and
# E2E_OWN_NETWORK stays unset, and the tests that take port 16004 skip,
# saying so.
if unshare --net --ipc true 2>/dev/null; then
  exec unshare --net --ipc sh -c '
    ip link set lo up 2>/dev/null && E2E_OWN_NETWORK=1 && export E2E_OWN_NETWORK
    exec "$@"' own_network "$@"
fi
exec "$@"
