#!/usr/bin/env bash
# Cross-builds the Windows program and the core's unit tests, warnings as
# errors, and what the program's tests
# run beside it under Wine (tests/windows/programs), each in a folder of its
# own; fails on the first problem.
#
# usage: mingw_build.sh SOURCE_DIR PROGRAM_BUILD_DIR TEST_PROGRAMS_BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
programs_dir=$3
toolchain=$source_dir/cmake/mingw-w64-i686.cmake
jobs=$(nproc)
for tree in "$source_dir:$build_dir" "$source_dir/tests/windows/programs:$programs_dir"; do
  cmake -S "${tree%%:*}" -B "${tree#*:}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR=ON >/dev/null
  cmake --build "${tree#*:}" -j "$jobs"
done
