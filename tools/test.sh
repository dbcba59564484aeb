#!/bin/sh
# Builds and runs every test twice: in the normal build, then in a build
# with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/), where
# any memory fault or undefined behaviour stops the program that meets it.
set -e
cd "$(dirname "$0")/.."
tools/install_deps.sh
cmake -S . -B build
cmake --build build -j2
ctest --test-dir build --output-on-failure -j2
cmake -S . -B build-asan -DSANITIZE=ON
cmake --build build-asan -j2
ctest --test-dir build-asan --output-on-failure -j2
