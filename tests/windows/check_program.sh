#!/usr/bin/env bash
# Quorvane.exe must start on a bare 32-bit or 64-bit Windows 7 SP1: a 32-bit
# GUI program whose headers ask for Windows 6.1, importing only DLLs every
# such system has (no compiler runtime DLLs, no Universal CRT forwarders)
# and no function that came after Windows 7 (those are looked up at run
# time).
#
# The service's program, quorvane-service.exe, is checked the same way as a
# console program.
#
# usage: check_program.sh Quorvane.exe [gui|console]
set -u
exe=$1
subsystem=${2:-gui}
objdump=i686-w64-mingw32-objdump
headers=$("$objdump" -p "$exe") || { echo "FAIL: cannot read $exe"; exit 1; }

# Every system DLL a bare Windows 7 has that a program like this may use
# (WINMM.dll: timeBeginPeriod, for the answer's sleeps where the system has
# no high-resolution timer).
allowed_dlls=(KERNEL32.dll USER32.dll GDI32.dll COMCTL32.dll msvcrt.dll ADVAPI32.dll SHELL32.dll
  ole32.dll OLEAUT32.dll comdlg32.dll SHLWAPI.dll VERSION.dll WS2_32.dll UxTheme.dll SETUPAPI.dll WINMM.dll)
# Functions of later systems that a direct import would make Windows 7
# refuse to start the program over.
later_functions=(GetDpiForWindow AdjustWindowRectExForDpi GetDpiForSystem SystemParametersInfoForDpi
  GetSystemMetricsForDpi SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext EnableNonClientDpiScaling
  GetSystemTimePreciseAsFileTime CreateFile2 WaitOnAddress WakeByAddressSingle WakeByAddressAll
  GetCurrentThreadStackLimits SetThreadDescription GetThreadDescription)

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { awk -v name="$1" '$1 == name { print $2 }' <<<"$headers"; }

[[ $(field Magic) == 010b ]] || fail "not a 32-bit (PE32) program: Magic $(field Magic)"
grep -q "^architecture: i386" <<<"$("$objdump" -f "$exe")" || fail "not an i386 program"
case $subsystem in
  gui) expected_subsystem=00000002 ;;
  console) expected_subsystem=00000003 ;;
  *) echo "usage: $0 PROGRAM.exe [gui|console]"; exit 2 ;;
esac
[[ $(field Subsystem) == "$expected_subsystem" ]] || fail "not a $subsystem program: Subsystem $(field Subsystem)"
for version in MajorSubsystemVersion:6 MinorSubsystemVersion:1 MajorOSystemVersion:6 MinorOSystemVersion:1; do
  [[ $(field "${version%:*}") == "${version#*:}" ]] ||
    fail "${version%:*} is $(field "${version%:*}"), not ${version#*:} (Windows 7)"
done

mapfile -t dlls < <(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -u)
echo "imports: ${dlls[*]}"
((${#dlls[@]})) || fail "no imports found: objdump's output has changed?"
for dll in "${dlls[@]}"; do
  known=false
  for allowed in "${allowed_dlls[@]}"; do
    [[ ${dll,,} == "${allowed,,}" ]] && known=true
  done
  $known || fail "imports $dll, which a bare Windows 7 does not have"
done

imported=$(awk '/DLL Name:/ { in_table = 1; next } in_table && NF >= 3 && $2 ~ /^[0-9]+$/ { print $3 }' \
  <<<"$headers")
for function in "${later_functions[@]}"; do
  grep -qx "$function" <<<"$imported" && fail "imports $function directly, which Windows 7 lacks"
done

((failures == 0)) && echo "ok: runs on a bare Windows 7"
((failures == 0))
