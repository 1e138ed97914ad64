#!/usr/bin/env bash
# Configures the project with each build option off on its own, and builds
# the two trees that differ most from the usual one: every option off (the
# smallest program: the core, the text front end, the simulated port), and
# the tests with every optional part off (the tests must not lean on a part
# that is not built). Warnings are errors, as in the usual build; no
# optimisation, which would only slow the check.
#
# usage: check_options_off.sh SOURCE_DIR WORK_DIR
set -uo pipefail
source_dir=$1 work=$2
options=(QUORVANE_BUILD_TESTS QUORVANE_BUILD_QT QUORVANE_BUILD_HARDWARE_PORT QUORVANE_BUILD_BENCH_TOOLS)
failures=0
mkdir -p "$work"

configure() { # NAME SETTINGS...
  local name=$1
  shift
  if cmake -S "$source_dir" -B "$work/$name" -DCMAKE_BUILD_TYPE= \
      -DCMAKE_COMPILE_WARNING_AS_ERROR=ON "$@" > "$work/$name.configure.log" 2>&1; then
    echo "ok: configures with $name"
    return 0
  fi
  echo "FAIL: does not configure with $name:"
  tail -n 20 "$work/$name.configure.log"
  failures=$((failures + 1))
  return 1
}

build() { # NAME
  if cmake --build "$work/$1" -j "$(nproc)" > "$work/$1.build.log" 2>&1; then
    echo "ok: builds with $1"
  else
    echo "FAIL: does not build with $1:"
    grep -E 'error|Error' "$work/$1.build.log" | head -n 20
    failures=$((failures + 1))
  fi
}

for option in "${options[@]}"; do
  configure "$option=OFF" "-D$option=OFF"
done
all_off=(); for option in "${options[@]}"; do all_off+=("-D$option=OFF"); done
configure "every-option-OFF" "${all_off[@]}" && build "every-option-OFF"
configure "only-the-tests-ON" "${all_off[@]}" -DQUORVANE_BUILD_TESTS=ON && build "only-the-tests-ON"

((failures == 0)) && echo "Every option off configures; both reduced trees build." && exit 0
echo "$failures failure(s)."
exit 1
