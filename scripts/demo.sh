#!/usr/bin/env bash
# Runs the console front end on the simulated parallel port and plays the
# supervising side: every ~8 s the request line is raised until the program
# answers (at most 1.5 s), and every port access is shown as it happens, so
# the answer 0, 1, 0, 1 on port 890 can be watched a second apart.
#
#   scripts/demo.sh              until Ctrl-C
#   scripts/demo.sh --seconds N  for N seconds
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,8s/^# \{0,1\}//p' "$0"; }
seconds=0
while (($#)); do
  case $1 in
    --seconds) [[ ${2:-} =~ ^[0-9]+$ ]] || { usage >&2; exit 2; }; seconds=$2; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    *) echo "demo.sh: unknown argument $1" >&2; usage >&2; exit 2 ;;
  esac
done

scripts/install-deps.sh
cmake --preset default
cmake --build --preset default -j "$(nproc)" --target quorvane-console quorvane_simulated_port quorvane-simport

build=$PWD/build
simport=$build/simulated_port/quorvane-simport
run_folder=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
# A state file of the demo's own, so no other run's port is touched.
export QUORVANE_SIMULATED_PORT=$run_folder/simulated-port

children=()
cleanup() {
  trap - EXIT INT TERM
  for child in "${children[@]}"; do kill "$child" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$run_folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

"$simport" set-status 0x00
echo "State file: $QUORVANE_SIMULATED_PORT (try: QUORVANE_SIMULATED_PORT=$QUORVANE_SIMULATED_PORT $simport status)"
echo "Working folder (restart log): $run_folder"
echo "Press Ctrl-C to stop."
"$simport" watch --from-start > >(sed -u 's/^/[port]       /') &
children+=($!)
(cd "$run_folder" && LD_LIBRARY_PATH=$build/simulated_port exec "$build/window/console/quorvane-console") \
  > >(sed -u 's/^/[program]    /') 2>&1 &
children+=($!)

started=$SECONDS
next_request=$((SECONDS + 3))
while ((seconds == 0 || SECONDS - started < seconds)); do
  if ! kill -0 "${children[1]}" 2>/dev/null; then
    echo "demo.sh: the program stopped" >&2
    exit 1
  fi
  if ((SECONDS >= next_request)); then
    echo "[supervisor] raising the request line"
    if "$simport" request --max 1.5; then
      echo "[supervisor] answer started: request line dropped"
    else
      echo "[supervisor] no answer within 1.5 s: request line dropped"
    fi
    next_request=$((SECONDS + 8))
  fi
  sleep 0.2
done
