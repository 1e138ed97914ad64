#!/usr/bin/env bash
# Packs the Windows installer and the ZIP from the cross build (tests/cross)
# into a folder of their own, emptied first, and lists what it made. The
# tests after it find there exactly one installer (*.exe) and one ZIP.
#
# usage: pack.sh CPACK WINDOWS_BUILD_DIR OUTPUT_DIR
set -euo pipefail
cpack=$1
build=$2
out=$3
rm -rf "$out"
mkdir -p "$out"
# cpack installs each component of the build afresh (stripped) and runs
# makensis; a minute is plenty on a loaded machine.
(cd "$out" && timeout 300 "$cpack" --config "$build/CPackConfig.cmake" -B "$out")
shopt -s nullglob
installers=("$out"/*.exe)
zips=("$out"/*.zip)
((${#installers[@]} == 1 && ${#zips[@]} == 1)) ||
  { echo "expected one installer and one ZIP in $out, found: ${installers[*]} ${zips[*]}"; exit 1; }
ls -l "${installers[0]}" "${zips[0]}"
