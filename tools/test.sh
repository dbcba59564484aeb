#!/bin/sh
# Builds and runs every test:
#  1. the programs alone (build-programs/), configured so that no test
#     library can be found (GoogleTest, Google Benchmark and pkg-config's
#     libvterm disabled), then their Debian package, checked with lintian
#     and run from where dpkg-deb unpacked it (tests/deb_package_check.sh),
#     and their sources checked with clang-tidy (tools/tidy.sh);
#  2. the normal build with its tests (build/);
#  3. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#     (build-asan/), where any memory fault or undefined behaviour stops the
#     program that meets it;
#  4. the fuzz targets, built with clang (build-fuzz/), each run briefly on
#     its seeds: at most 50,000 executions or 20 seconds, two at a time; a
#     target that does not build or finds anything fails the run;
#  5. the Windows build cross-compiled with mingw-w64 (build-win/), its zip
#     package, its unit tests and the programs end to end under wine, when
#     wine and mingw-w64 can be installed;
#  6. the arm64 and armhf builds cross-compiled for the Raspberry Pi
#     (build-arm64/, build-armhf/), their unit tests and the programs end to
#     end under qemu-user, and their Debian packages, checked and run under
#     qemu-user, when the cross compilers and qemu-user can be installed.
set -e
cd "$(dirname "$0")/.."
tools/install_deps.sh tests

PKG_CONFIG_LIBDIR= PKG_CONFIG_PATH= cmake --no-warn-unused-cli -S . -B build-programs -DBUILD_TESTING=OFF \
  -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
cmake --build build-programs -j2
tests/deb_package_check.sh build-programs
tools/tidy.sh build-programs

cmake -S . -B build -DBUILD_TESTING=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -DSANITIZE=ON -DBUILD_TESTING=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2

FUZZ_BUILD_DIR="$PWD/build-fuzz" FUZZ_JOBS=2 tests/fuzz/run_fuzzers.sh 50000 20

if tools/install_deps.sh windows; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DBUILD_TESTING=ON
  cmake --build build-win -j2
  (cd build-win && cpack -G ZIP)
  ctest --test-dir build-win --output-on-failure
else
  echo "wine or mingw-w64 could not be installed: the Windows build is left out"
fi

if tools/install_deps.sh arm; then
  for arch in arm64 armhf; do
    case $arch in
      arm64) triple=aarch64-linux-gnu qemu=qemu-aarch64 ;;
      armhf) triple=arm-linux-gnueabihf qemu=qemu-arm ;;
    esac
    cmake -S . -B build-$arch -DCMAKE_TOOLCHAIN_FILE=cmake/$triple.cmake -DBUILD_TESTING=ON
    cmake --build build-$arch -j2
    ctest --test-dir build-$arch --output-on-failure -j2
    tests/deb_package_check.sh build-$arch $qemu -L /usr/$triple
  done
else
  echo "the ARM cross compilers or qemu-user could not be installed: the arm64 and armhf builds are left out"
fi
