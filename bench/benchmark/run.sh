#!/usr/bin/env bash
# Builds the program and the benchmark, times the program on the simulated
# port, prints the table and keeps the results in bench/benchmark/results/ (latest.json
# and latest.md). The window program runs under a virtual X server, so the
# moment its window is mapped can be seen; without xvfb-run it runs offscreen.
#
#   bench/benchmark/run.sh            the full run (about 5 minutes)
#   bench/benchmark/run.sh --quick    a short run (about a minute)
# Other options go to quorvane-bench (see build/bench/benchmark/quorvane-bench --help).
set -euo pipefail
cd "$(dirname "$0")/../.."

for arg in "$@"; do
  [[ $arg == -h || $arg == --help ]] && { sed -n '2,10s/^# \{0,1\}//p' "$0"; exit 0; }
done

scripts/install-deps.sh
# The run under load keeps every CPU busy with stress-ng; only the benchmark
# needs it, so it is installed here rather than for every build.
if ! command -v stress-ng >/dev/null; then
  echo "Installing: stress-ng"
  if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends stress-ng
fi
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target quorvane-bench

results=bench/benchmark/results
mkdir -p "$results"
command=(build/bench/benchmark/quorvane-bench --json "$results/latest.json" "$@")
if [[ -z ${DISPLAY:-} ]] && command -v xvfb-run >/dev/null; then
  command=(xvfb-run -a -n 171 -s "-screen 0 1024x768x24 -noreset" "${command[@]}")
fi
"${command[@]}" | tee "$results/latest.md"
{
  echo
  echo "Produced by: bench/benchmark/run.sh $*"
  echo "On: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1), $(uname -sr), $(date -u +%F)"
} | tee -a "$results/latest.md"
