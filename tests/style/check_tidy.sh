#!/usr/bin/env bash
# clang-tidy, with the checks in .clang-tidy, finds nothing in the program,
# the port libraries and the bench tools as the Linux build compiles them,
# nor, given its build folder, in the Windows build (as 32-bit mingw-w64
# code, with that compiler's own C++ library). The tests are left out:
# GoogleTest's macros expand to what those checks flag, in code that never
# ships.
#   check_tidy.sh SOURCE_DIR BUILD_DIR [WINDOWS_BUILD_DIR]
set -euo pipefail
root=$(cd "$1" && pwd)
build=$2
windows_build=${3:-}
if ! command -v run-clang-tidy >/dev/null; then
  echo "SKIP: clang-tidy is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi
if [[ ! -f $build/compile_commands.json ]]; then
  echo "FAIL: $build/compile_commands.json is missing: configure with CMAKE_EXPORT_COMPILE_COMMANDS"
  exit 1
fi
report=$(mktemp)
trap 'rm -f "$report"' EXIT
sources="^$root/(common|port|core|front_ends|tools|port_libraries|bench)/"
# run-clang-tidy's exit status says whether a check fired (or a source did
# not compile); its report is kept and its findings printed without colours.
tidy() {
  run-clang-tidy -j "$(nproc)" -quiet "$@" "$sources" >>"$report" 2>&1
}
failed=false
tidy -p "$build" || failed=true
if [[ -n $windows_build ]]; then
  if [[ ! -f $windows_build/compile_commands.json ]]; then
    echo "FAIL: $windows_build/compile_commands.json is missing"
    exit 1
  fi
  # clang knows the target, but not where Debian keeps mingw-w64's C++
  # headers: those come from the compiler itself.
  windows_args=(-extra-arg=--target=i686-w64-mingw32)
  while read -r folder; do
    if [[ $folder == */include/c++* ]]; then windows_args+=("-extra-arg=-isystem$folder"); fi
  done < <(i686-w64-mingw32-g++ -xc++ -E -v - </dev/null 2>&1 |
    sed -n '/#include <...> search starts here:/,/End of search list/s/^ //p')
  # Nor does it take every option of gcc's: those go from a copy of the
  # build's list of commands.
  windows_commands=$(mktemp -d)
  trap 'rm -rf "$report" "$windows_commands"' EXIT
  sed 's/ -fno-keep-inline-dllexport//g' "$windows_build/compile_commands.json" \
    >"$windows_commands/compile_commands.json"
  # What both builds compile was read in the Linux pass: this one reads what
  # only the Windows build has.
  sources="^$root/((common|port|core|front_ends|tools|port_libraries|bench)/.*_win32\.cpp|front_ends/(win32_window|windows_service)/.*)$"
  tidy -p "$windows_commands" "${windows_args[@]}" || failed=true
fi
if ! $failed; then
  echo "clang-tidy: no findings${windows_build:+ in either build}."
  exit 0
fi
sed 's/\x1b\[[0-9;]*m//g' "$report" | grep -E '(warning|error): ' | sort -u || tail -20 "$report"
echo "clang-tidy found the faults above (checks in .clang-tidy)."
exit 1
