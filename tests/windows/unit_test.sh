#!/usr/bin/env bash
# Runs one of the core's GoogleTest programs, cross-built for Windows, under
# Wine, in the program's own folder (where its test libraries are found);
# its status is the test program's.
#
# usage: unit_test.sh TEST_PROGRAM.exe [GOOGLETEST OPTIONS...]
set -euo pipefail
program=$1
shift
[[ -f $program ]] || { echo "the Windows unit test program $program was not built"; exit 1; }
cd "$(dirname "$program")"
exec "$WINE" "./$(basename "$program")" --gtest_brief=1 "$@"
