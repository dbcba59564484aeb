#!/bin/sh
# Installs the Debian packages that building and testing need, when missing.
#   tools/install_deps.sh            the Linux build and its tests (wsjtx:
#                                    WSJT-X itself, its decoder and its own
#                                    listener, and jtdx, run beside our
#                                    programs, the GUIs under Xvfb, driven
#                                    with xdotool)
#   tools/install_deps.sh windows    the Windows cross build, tested under wine
set -e
packages="cmake g++ make pkg-config libgtest-dev libbenchmark-dev libvterm-dev faketime libxml2-utils gdal-bin wsjtx jtdx xvfb xdotool"
[ "${1:-}" = windows ] && packages="cmake make googletest g++-mingw-w64-x86-64 wine64 tmux python3"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
$sudo apt-get update -q
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q $missing
