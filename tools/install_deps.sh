#!/bin/sh
# Installs the Debian packages that building and testing need, when missing.
set -e
packages="cmake g++ make pkg-config libgtest-dev libbenchmark-dev libvterm-dev faketime libxml2-utils"
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
