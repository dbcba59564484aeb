#!/bin/sh
# The Debian package of a build, checked as a user gets it:
#   tests/deb_package_check.sh BUILD_DIR [EMULATOR...]
# makes it there (cpack -G DEB), has lintian check it, unpacks it into a
# scratch folder (dpkg-deb -x) and runs log_lister from there on the sample
# it carries: the listing must be the golden one. A cross build's package
# (arm64, armhf) runs under EMULATOR (qemu-aarch64 -L /usr/aarch64-linux-gnu).
set -eu
build=$(cd "$1" && pwd)
shift
top=$(cd "$(dirname "$0")/.." && pwd)
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/wsjt-trackers_*.deb)

# The warnings that docs/TESTING.md explains; anything else fails.
lintian --fail-on error,warning --suppress-tags no-manual-page,initial-upload-closes-no-bugs "$deb"

# Linked with the C and C++ runtimes alone.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dependency in $(echo "$depends" | tr ',' '\n' | sed 's/ *(.*//; s/ //g'); do
  case $dependency in
    libc6 | libgcc-s1 | libstdc++6) ;;
    *) echo "unexpected dependency: $dependency" && exit 1 ;;
  esac
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch/root"
outside=$(cd "$scratch/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || { echo "outside /usr: $outside" && exit 1; }
for program in live_tracker log_tracker log_lister decode_sender; do
  [ -x "$scratch/root/usr/bin/$program" ] || { echo "missing: /usr/bin/$program" && exit 1; }
done
# No terminal (setsid): the end of stdin ends the closing wait.
setsid -w "$@" "$scratch/root/usr/bin/log_lister" \
  "$scratch/root/usr/share/doc/wsjt-trackers/samples/wsjtx-2.7/ALL.TXT" < /dev/null > "$scratch/listing.txt"
cmp "$scratch/listing.txt" "$top/tests/golden/wsjtx-2.7-reports.txt"
echo "the $(dpkg-deb -f "$deb" Architecture) package's log_lister lists the sample as tests/golden/wsjtx-2.7-reports.txt"
