#!/bin/sh
# Runs a test beside WSJT-X's own programs in namespaces of its own:
# network and IPC (its UDP port 16004 and WSJT-X's shared memory never meet
# the user's; multicast goes by loopback, where JTDX, which cannot be told
# an interface, finds no route for its datagrams otherwise), PID (Xvfb, WSJT-X and jt9 end with the test, however it
# ends) and mount, with a /tmp of its own (the X display's socket and lock
# files, WSJT-X's scratch files and the test's folders). The folders of the
# checkout, of the build and of the test program stay where they are when
# they lie in /tmp: each is mounted again in the new /tmp from the old one.
# Needs root and unshare; without them the test runs as it is,
# E2E_OWN_STATION stays unset and the tests that need it skip, saying so.
here=$(cd "$(dirname "$0")" && pwd)
if unshare --net --ipc --pid --fork --mount-proc true 2>/dev/null; then
  exec unshare --net --ipc --pid --fork --kill-child --mount-proc sh -c '
    here=$1 && shift
    # The first folder under /tmp of each path, or nothing outside /tmp.
    in_tmp() { case $1 in /tmp/?*) top=${1#/tmp/} && echo "${top%%/*}" ;; esac; }
    keep_tmp() {
      for path in "$PWD" "$here" "$(dirname "$1")"; do
        top=$(in_tmp "$path") && [ -n "$top" ] || continue
        [ -d "/tmp/$top" ] && continue  # kept already
        mkdir "/tmp/$top" && mount --no-canonicalize --bind "/proc/self/fd/3/$top" "/tmp/$top" || return 1
      done
    }
    exec 3</tmp
    ip link set lo up 2>/dev/null && ip route add 224.0.0.0/4 dev lo 2>/dev/null &&
      mount -t tmpfs -o mode=1777 tmpfs /tmp && keep_tmp "$1" &&
      E2E_OWN_NETWORK=1 E2E_OWN_STATION=1 && export E2E_OWN_NETWORK E2E_OWN_STATION
    exec 3<&-
    exec "$@"' own_station "$here" "$@"
fi
exec "$@"
