#!/bin/sh
# Runs clang-tidy, with the checks of .clang-tidy, on the programs' own
# sources: every .cc under core/, the programs' folders and tools/ but the
# tests and the Windows files (the host's compiler database cannot parse
# them). Usage: tools/tidy.sh BUILD_DIR, a build configured with
# CMAKE_EXPORT_COMPILE_COMMANDS=ON. Any warning fails.
set -e
cd "$(dirname "$0")/.."
build=${1:?usage: tools/tidy.sh BUILD_DIR}
files=$(find core live_tracker log_tracker log_lister tools -name '*.cc' \
  ! -name '*_test.cc' ! -name '*-win32.cc' | sort)
run-clang-tidy -quiet -j 2 -p "$build" $files > "$build/tidy.log" 2>&1 || {
  grep -E "(warning|error): " "$build/tidy.log" | sed "s/\x1b\[[0-9;]*m//g" | sort -u
  echo "clang-tidy found the faults above (all of it: $build/tidy.log)"
  exit 1
}
echo "clang-tidy: no findings"
