#!/bin/sh
# Runs a test beside WSJT-X's own programs in namespaces of its own:
# network and IPC (its UDP port 16004 and WSJT-X's shared memory never meet
# the user's; multicast goes by loopback, where JTDX, which cannot be told
# an interface, finds no route for its datagrams otherwise), PID (Xvfb, WSJT-X and jt9 end with the test, however it
# ends) and mount, with a /tmp of its own (the X display's socket and lock
# files, WSJT-X's scratch files and the test's folders). Needs root and
# unshare; without them the test runs as it is, E2E_OWN_STATION stays unset
# and the tests that need it skip, saying so.
if unshare --net --ipc --pid --fork --mount-proc true 2>/dev/null; then
  exec unshare --net --ipc --pid --fork --kill-child --mount-proc sh -c '
    ip link set lo up 2>/dev/null && ip route add 224.0.0.0/4 dev lo 2>/dev/null &&
      mount -t tmpfs -o mode=1777 tmpfs /tmp &&
      E2E_OWN_NETWORK=1 E2E_OWN_STATION=1 && export E2E_OWN_NETWORK E2E_OWN_STATION
    exec "$@"' own_station "$@"
fi
exec "$@"
