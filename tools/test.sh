#!/bin/sh
# Builds and runs every test:
#  1. the normal build (build/);
#  2. the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer
#     (build-asan/), where any memory fault or undefined behaviour stops the
#     program that meets it;
#  3. the fuzz targets, built with clang (build-fuzz/), each run briefly on
#     its seeds: at most 50,000 executions or 20 seconds, two at a time; a
#     target that does not build or finds anything fails the run;
#  4. the Windows build cross-compiled with mingw-w64 (build-win/), its zip
#     package, its unit tests and the programs end to end under wine, when
#     wine and mingw-w64 can be installed.
set -e
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2

cmake -S . -B build-asan -DSANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2

FUZZ_BUILD_DIR="$PWD/build-fuzz" FUZZ_JOBS=2 tests/fuzz/run_fuzzers.sh 50000 20

if tools/install_deps.sh windows; then
  cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
  cmake --build build-win -j2
  (cd build-win && cpack -G ZIP)
  ctest --test-dir build-win --output-on-failure
else
  echo "wine or mingw-w64 could not be installed: the Windows build is left out"
fi
