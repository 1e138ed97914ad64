#!/usr/bin/env bash
# Configures and builds the Windows core in a folder of its own, with
# warnings as errors, and fails on the first problem.
set -euo pipefail
source_dir=$1
build_dir=$2
cmake -S "$source_dir" -B "$build_dir" \
  -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVANE_BUILD_TESTS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
