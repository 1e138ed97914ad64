#!/usr/bin/env bash
# The installed text front end, run from the staging folder: on the
# simulated port (LD_LIBRARY_PATH comes before the run path) it starts,
# stamps one line in the restart log of its working folder and answers the
# supervisor's request; with nothing on LD_LIBRARY_PATH it loads the
# hardware port library by its run path, which reports the missing port.
source "$(dirname "$0")/common.sh"

program=$STAGE/usr/bin/quorvane-console
work=$scratch/work
mkdir "$work"
state=$work/port-state

(cd "$work" && exec env -i PATH="$PATH" QUORVANE_SIMULATED_PORT="$state" \
  LD_LIBRARY_PATH="$SIMULATED_PORT_DIR" "$program" >"$scratch/console.out" 2>&1) &
console=$!
cleanups+=("stop_process $console")

# Limits loosened for a busy machine: this is about the installed program
# answering at all; the end-to-end tests time it.
if timeout 30 "$SUPERVISOR" --file "$state" --wait-poll --late 2.5 --deadline 6 --tolerance 300 once \
  >"$scratch/supervisor.out" 2>&1; then
  ok "the staged program answered the supervisor: $(grep -m1 ' OK ' "$scratch/supervisor.out" || true)"
else
  fail "the supervisor saw no good answer (status $?):"
  cat "$scratch/supervisor.out"
fi
kill -0 "$console" 2>/dev/null && ok "the program still runs" || fail "the program ended: $(cat "$scratch/console.out")"
stop_process "$console"

if one_log_line "$work/Quorvane.log"; then
  ok "one line in the working folder's restart log: $(tr -d '\r' <"$work/Quorvane.log")"
else
  fail "the restart log is not one stamp: $(od -c "$work/Quorvane.log" 2>&1 | head -3)"
fi

# No LD_LIBRARY_PATH: the hardware library (found by the run path) answers
# that there is no port here. Should this machine have one at 0x378, the
# program runs on it: that is fine too.
hardware=$scratch/hardware
mkdir "$hardware"
(cd "$hardware" && exec env -i PATH="$PATH" "$program" >"$scratch/hardware.out" 2>&1) &
run=$!
if wait_for 10 bash -c "! kill -0 $run 2>/dev/null"; then
  status=0
  wait "$run" || status=$?
  message=$(cat "$scratch/hardware.out")
  if [[ $status -eq 1 && $message == "quorvane: "* && $message != *"cannot load the port library"* ]]; then
    ok "without LD_LIBRARY_PATH the hardware library answered: $message"
  else
    fail "without LD_LIBRARY_PATH: status $status, '$message'"
  fi
else
  stop_process "$run"
  ok "without LD_LIBRARY_PATH the program runs on this machine's own port"
fi
finish
