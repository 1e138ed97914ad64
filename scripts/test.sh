#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test through
# CTest; then builds again with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs the unit and end-to-end tests there. Prints every skipped test at
# the end: a skip the machine did not declare in QUORVANE_EXPECTED_SKIPS
# (labels, e.g. "wine guest") fails the run.
#
# For everyday work, the unit tests alone (under a minute):
#   cmake --build --preset default && ctest --preset quick
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)
status=0

cmake --preset default
cmake --build --preset default -j "$jobs"
ctest --preset default -j "$jobs" --output-junit "$PWD/build/test-results.xml" || status=1

cmake --preset sanitize
cmake --build --preset sanitize -j "$jobs"
ctest --preset sanitize -j "$jobs" --output-junit "$PWD/build-sanitize/test-results.xml" || status=1

scripts/report_skips.py build:build/test-results.xml build-sanitize:build-sanitize/test-results.xml || status=1
((status == 0)) && echo "Every test passed." || echo "Some tests failed: see above."
exit $status
