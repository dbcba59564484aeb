#!/bin/sh
# Installs the Debian packages that building and testing need, when missing.
#   tools/install_deps.sh            what the programs need: a compiler,
#                                    make and CMake
#   tools/install_deps.sh tests      that and the test kit: GoogleTest,
#                                    Google Benchmark, libvterm, the tools
#                                    the tests run (faketime, xmllint, GDAL's
#                                    ogrinfo, lintian and what cpack's
#                                    Debian package needs), and wsjtx and
#                                    jtdx, run beside our programs, their
#                                    GUIs under Xvfb, driven with xdotool;
#                                    clang-tidy for tools/tidy.sh
#   tools/install_deps.sh windows    the Windows cross build, tested under wine
#   tools/install_deps.sh arm        the arm64 and armhf cross builds (for the
#                                    Raspberry Pi), tested under qemu-user
set -e
packages="cmake g++ make"
case "${1:-}" in
  tests)
    packages="$packages pkg-config libgtest-dev libbenchmark-dev libvterm-dev faketime libxml2-utils"
    packages="$packages gdal-bin dpkg-dev file lintian wsjtx jtdx xvfb xdotool clang-tidy" ;;
  windows) packages="cmake make googletest g++-mingw-w64-x86-64 wine64 tmux python3" ;;
  arm) packages="cmake make googletest g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user python3"
       packages="$packages dpkg-dev lintian" ;;
esac
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
