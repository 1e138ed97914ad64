#!/usr/bin/env bash
# Builds the program and the benchmark, times the program on the simulated
# port, prints the table and keeps the results in bench/benchmark/results/
# (latest.json and latest.md). The window program runs under a virtual X
# server, so the moment its window is mapped can be seen; without Xvfb it
# runs offscreen.
#
#   bench/benchmark/run.sh            the full run (about 5 minutes)
#   bench/benchmark/run.sh --quick    a short run (about a minute)
#   bench/benchmark/run.sh --wine     the Windows program, Quorvane.exe, under
#                                     Wine beside the minimal Windows program
#                                     (latest-wine.json, latest-wine.md)
# Other options go to quorvane-bench (see build/bench/benchmark/quorvane-bench --help).
set -euo pipefail
cd "$(dirname "$0")/../.."

wine=false
options=()
for arg in "$@"; do
  [[ $arg == -h || $arg == --help ]] && { sed -n '2,13s/^# \{0,1\}//p' "$0"; exit 0; }
  if [[ $arg == --wine ]]; then wine=true; else options+=("$arg"); fi
done

scripts/install-deps.sh
# The run under load keeps every CPU busy with stress-ng; only the benchmark
# needs it, so it is installed here rather than for every build.
if ! command -v stress-ng >/dev/null; then
  echo "Installing: stress-ng"
  if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq || true
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends stress-ng
fi
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target quorvane-bench

results=bench/benchmark/results
mkdir -p "$results"
if $wine; then
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)" --target quorvane-win32 quorvane-bench-minimal-win32 \
    quorvane_simulated_port
  name=latest-wine
  # A Wine session of its own (a prefix in the Windows build folder, its own
  # virtual X server), ended with the run. Beside the program, in the same
  # session, the minimal Windows program with the same poll timer is the floor.
  command=(tests/windows/with_wine.sh "$PWD/build-windows/wine-prefix"
    build/bench/benchmark/quorvane-bench --wine --program build-windows/front_ends/win32_window/Quorvane.exe
    --floor-program build-windows/bench/benchmark/quorvane-bench-minimal-win32.exe
    --library-dir build-windows/port_libraries/simulated --json "$results/$name.json" "${options[@]}")
else
  name=latest
  command=(build/bench/benchmark/quorvane-bench --json "$results/$name.json" "${options[@]}")
  if [[ -z ${DISPLAY:-} ]] && command -v Xvfb >/dev/null; then
    command=(tests/e2e/with_xvfb.sh "${command[@]}")
  fi
fi
"${command[@]}" | tee "$results/$name.md"
{
  echo
  echo "Produced by: bench/benchmark/run.sh $*"
  echo "On: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(uname -sr), $(date -u +%F)"
  if $wine; then
    source scripts/i386_emulator.sh
    if emulator=$(i386_emulator); then
      echo "Under: $(wine --version 2>/dev/null) (under Wine, emulated: 32-bit programs run by $emulator, qemu-user $(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null))"
    else
      echo "Under: $(wine --version 2>/dev/null) (under Wine, natively: not Windows)"
    fi
  fi
} | tee -a "$results/$name.md"
