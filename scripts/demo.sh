#!/usr/bin/env bash
# Runs the program, its window and all, on the simulated parallel port, with
# the supervisor simulator playing the other side beside it: every 8 s it
# raises the request line until the program answers, prints every port access
# as it happens and checks each answer (0, 1, 0, 1 on port 890, a second
# apart), with a summary at the end.
# Without a display the window goes to a virtual X server of its own.
#
#   scripts/demo.sh              until Ctrl-C or the window is closed
#   scripts/demo.sh --seconds N  for N seconds
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,9s/^# \{0,1\}//p' "$0"; }
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
cmake --build --preset default -j "$(nproc)" --target quorvane quorvane_simulated_port quorvane-simport quorvane-supervisor

build=$PWD/build
simport=$build/port_libraries/simulated/quorvane-simport
run_folder=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-demo.XXXXXX")
# A state file of the demo's own, so no other run's port is touched.
export QUORVANE_SIMULATED_PORT=$run_folder/simulated-port

children=()
cleanup() {
  trap - EXIT INT TERM
  # The newest first, so the program goes before its X server.
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do kill "${children[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$run_folder"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# No display (a server, a container, CI): a virtual X server of our own,
# on the first free display number, which it reports once it is ready.
if [[ -z ${DISPLAY:-} ]]; then
  if command -v Xvfb >/dev/null; then
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run_folder/display" 2>/dev/null &
    children+=($!)
    for _ in $(seq 100); do [[ -s $run_folder/display ]] && break; sleep 0.1; done
    [[ -s $run_folder/display ]] || { echo "demo.sh: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=:$(<"$run_folder/display")
    echo "No display: the window is on the virtual display $DISPLAY"
    echo "  (to see it: DISPLAY=$DISPLAY import -window root window.png)"
  else
    export QT_QPA_PLATFORM=offscreen
    echo "No display and no Xvfb: the window is drawn off screen"
  fi
fi

# Qt wants a private runtime folder; a desktop session has one already.
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
  export XDG_RUNTIME_DIR=$run_folder/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

"$simport" set-status 0x00
echo "State file: $QUORVANE_SIMULATED_PORT (try: QUORVANE_SIMULATED_PORT=$QUORVANE_SIMULATED_PORT $simport status)"
echo "Working folder (restart log): $run_folder"
echo "Press Ctrl-C to stop."
# The supervisor waits for the program's first poll, then raises a request
# every 8 s; its trace shows both lines and every port access.
supervisor_args=(--wait-poll every 8)
((seconds)) && supervisor_args+=(--seconds "$seconds")
"$build/bench/supervisor/quorvane-supervisor" "${supervisor_args[@]}" \
  > >(sed -u 's/^/[supervisor] /') 2>&1 &
supervisor=$!
children+=($supervisor)
(cd "$run_folder" && LD_LIBRARY_PATH=$build/port_libraries/simulated exec "$build/window/qt/quorvane") \
  > >(sed -u 's/^/[program]    /') 2>&1 &
program=$!
children+=($program)

started=$SECONDS
while ((seconds == 0 || SECONDS - started < seconds + 1)); do
  if ! kill -0 "$program" 2>/dev/null; then
    status=0
    wait "$program" || status=$?
    if ((status == 0)); then
      echo "The window was closed; the demo ends."
      exit 0
    fi
    echo "demo.sh: the program stopped (exit status $status)" >&2
    exit 1
  fi
  if ! kill -0 "$supervisor" 2>/dev/null; then
    status=0
    wait "$supervisor" || status=$?
    ((status == 0)) && exit 0
    echo "demo.sh: the supervisor found a fault (exit status $status)" >&2
    exit 1
  fi
  sleep 0.2
done
