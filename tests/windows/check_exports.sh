#!/usr/bin/env bash
# The port libraries built for the Windows tests export Inp32 and Out32
# under their plain names, as a Windows program binds them (GetProcAddress
# "Inp32"), not decorated as __stdcall names are by default ("Inp32@4").
#
# usage: check_exports.sh LIBRARY.dll...
set -u
failures=0
for library in "$@"; do
  exports=$(i686-w64-mingw32-objdump -p "$library" |
    sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk -F'] ' 'NF > 1 { print $2 }')
  echo "$library: $(tr '\n' ' ' <<<"$exports")"
  for name in Inp32 Out32; do
    grep -qx "$name" <<<"$exports" || { echo "FAIL: $library does not export $name"; failures=$((failures + 1)); }
  done
  if grep -q '@' <<<"$exports"; then
    echo "FAIL: $library exports decorated names"
    failures=$((failures + 1))
  fi
done
((failures == 0))
