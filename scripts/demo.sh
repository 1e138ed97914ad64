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
#
# Exit status: the supervisor's (0 when every answer was right, 1 when it
# found a fault), 1 when the program stopped by itself with a failure, 2 on
# bad usage.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n '2,14s/^# \{0,1\}//p' "$0"; }
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

# The children run in sessions of their own, so a Ctrl-C at the terminal
# (sent to the whole foreground process group) reaches only this script,
# which then ends them in order: the supervisor first, so it prints its
# summary while the program still runs, then the program, then the X server.
children=()  # in the order started
readers=()   # the processes tagging the children's output
# SIGTERM, then SIGKILL after 5 s; the child's exit status in $ended_status.
end_child() {
  local pid=$1 _
  kill -TERM "$pid" 2>/dev/null || true
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1 || true; done
  kill -KILL "$pid" 2>/dev/null || true
  ended_status=0
  wait "$pid" 2>/dev/null || ended_status=$?
}
# A reader ends by itself once its child's output has closed and been read.
end_reader() {
  local pid=$1 _
  for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1 || true; done
  kill -TERM "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
cleanup() {
  trap - EXIT
  trap '' INT TERM HUP
  # The newest first, so the program goes before its X server.
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do end_child "${children[i]}"; done
  for reader in "${readers[@]}"; do end_reader "$reader"; done
  rm -rf "$run_folder" "${xvfb_auth_folder:-}"
}
trap cleanup EXIT
stop_asked=
trap 'stop_asked=1' INT TERM HUP

# A child's output, each line tagged with its name, through a FIFO that a
# sed reads; the sed ignores Ctrl-C, so nothing of the output is lost.
tagged_output() {
  local fifo=$run_folder/$1.out
  mkfifo "$fifo"
  (trap '' INT HUP; exec sed -u "s/^/$2/" <"$fifo") &
  readers+=("$!")
}

# No display (a server, a container, CI): a virtual X server of our own,
# on the first free display number, which it reports once it is ready.
if [[ -z ${DISPLAY:-} ]]; then
  if command -v Xvfb >/dev/null; then
    source tests/support/start_xvfb.sh
    start_xvfb --own-session || { echo "demo.sh: Xvfb did not start" >&2; exit 1; }
    children+=("$xvfb_pid")
    # It lets in only clients with its key, which is this user's alone.
    echo "No display: the window is on the virtual display $DISPLAY"
    echo "  (to see it: DISPLAY=$DISPLAY XAUTHORITY=$XAUTHORITY import -window root window.png)"
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
[[ -z $stop_asked ]] || { echo "demo.sh: stopped before the run began" >&2; exit 130; }
tagged_output supervisor '[supervisor] '
supervisor_output=${readers[-1]}
setsid "$build/bench/supervisor/quorvane-supervisor" "${supervisor_args[@]}" >"$run_folder/supervisor.out" 2>&1 &
supervisor=$!
children+=("$supervisor")
tagged_output program '[program]    '
(cd "$run_folder" && LD_LIBRARY_PATH=$build/port_libraries/simulated \
  exec setsid "$build/front_ends/qt/quorvane" >"$run_folder/program.out" 2>&1) &
program=$!
children+=("$program")

# Watch until one side ends, the time is up or a stop is asked for.
started=$SECONDS
program_status=
looks=0
while [[ -z $stop_asked ]]; do
  if ! kill -0 "$program" 2>/dev/null; then
    program_status=0
    wait "$program" || program_status=$?
    break
  fi
  kill -0 "$supervisor" 2>/dev/null || break
  # --seconds: the supervisor ends by itself; this is only a backstop.
  ((seconds == 0 || SECONDS - started < seconds + 5)) || break
  sleep 0.2 || true
  looks=$((looks + 1))
done

# The supervisor ends first (on SIGTERM it prints its summary, once it has
# set itself up to: a stop asked for at once waits half a second), and its
# output is read to the end before anything else is stopped.
((looks >= 3)) || sleep 0.5 || true
end_child "$supervisor"
supervisor_status=$ended_status
end_reader "$supervisor_output"
# cleanup (on exit) ends the program, then the X server.
if [[ -n $program_status ]]; then
  if ((program_status != 0)); then
    echo "demo.sh: the program stopped (exit status $program_status)" >&2
    exit 1
  fi
  echo "The window was closed; the demo ends."
fi
((supervisor_status == 0)) || echo "demo.sh: the supervisor found a fault (exit status $supervisor_status)" >&2
exit "$supervisor_status"
