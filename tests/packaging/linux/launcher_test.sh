#!/usr/bin/env bash
# The launcher the desktop entries start: wherever it is started from, the
# window program runs in $XDG_STATE_HOME/quorvane (~/.local/state/quorvane
# when that is unset or not absolute), made when missing, and its restart
# log lands there, one line a start; a folder it cannot make ends it with a
# message and status 1. The program runs offscreen on the simulated port.
source "$(dirname "$0")/common.sh"

launcher=$STAGE/usr/libexec/quorvane/quorvane-launch
home=$scratch/home
mkdir "$home"

# Starts the launcher from folder $1 with the settings after it, waits for
# the log line in the folder it should work in (LOG), and stops the program.
start_and_stop() {
  local from=$1
  shift
  mkdir -p "$from"
  (cd "$from" && exec env -i PATH="$PATH" QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$SIMULATED_PORT_DIR" \
    QUORVANE_SIMULATED_PORT="$scratch/port-state" "$@" "${LAUNCHER:-$launcher}" >"$scratch/run.out" 2>&1) &
  local run=$!
  if wait_for 15 bash -c "[[ -s '$LOG' ]] || ! kill -0 $run 2>/dev/null"; then
    # A start is one line: give a second one time to show up, were it wrong.
    sleep 0.3
  fi
  kill -0 "$run" 2>/dev/null || fail "the program ended: $(cat "$scratch/run.out")"
  stop_process "$run"
}

# Two starts from two folders, neither of them the working folder.
LOG=$home/.local/state/quorvane/Quorvane.log
start_and_stop "$scratch/from-a" HOME="$home"
one_log_line "$LOG" && ok "the first start stamped $LOG" || fail "after one start: $(od -c "$LOG" 2>&1 | head -3)"
[[ $(stat -c %a "$home/.local/state/quorvane") == 700 ]] && ok "the folder is the user's alone" ||
  fail "the working folder is mode $(stat -c %a "$home/.local/state/quorvane")"
start_and_stop "$scratch/from-b" HOME="$home"
[[ $(stat -c %s "$LOG") -eq 42 ]] && ok "the second start appended its line to the same log" ||
  fail "after two starts the log holds $(stat -c %s "$LOG") bytes, expected 42"
[[ ! -e $scratch/from-a/Quorvane.log && ! -e $scratch/from-b/Quorvane.log ]] &&
  ok "nothing written where it was started" || fail "a log was written in the folder it was started from"

# XDG_STATE_HOME, and the launcher reached through a link to it.
ln -s "$launcher" "$scratch/linked-launcher"
LOG=$scratch/state/quorvane/Quorvane.log
LAUNCHER=$scratch/linked-launcher start_and_stop "$scratch/from-a" HOME="$home" XDG_STATE_HOME="$scratch/state"
one_log_line "$LOG" && ok "XDG_STATE_HOME is honoured, through a link" || fail "no line in $LOG"

# A relative XDG_STATE_HOME is not a base folder: HOME's is used.
LOG=$home/.local/state/quorvane/Quorvane.log
start_and_stop "$scratch/from-a" HOME="$home" XDG_STATE_HOME=relative
[[ $(stat -c %s "$LOG") -eq 63 && ! -e $scratch/from-a/relative ]] && ok "a relative XDG_STATE_HOME is ignored" ||
  fail "with XDG_STATE_HOME=relative the line went elsewhere"

# A folder that cannot be made (a file in the way; root could write
# anywhere else): a message, status 1, nothing started.
touch "$scratch/not-a-folder"
status=0
(cd "$scratch" && env -i PATH="$PATH" HOME="$scratch/not-a-folder" LD_LIBRARY_PATH="$SIMULATED_PORT_DIR" \
  QUORVANE_SIMULATED_PORT="$scratch/port-state" timeout 10 "$launcher" >"$scratch/fail.out" 2>&1) || status=$?
message=$(cat "$scratch/fail.out")
expected="quorvane: cannot make the working folder $scratch/not-a-folder/.local/state/quorvane: Not a directory"
[[ $status -eq 1 && $message == "$expected" ]] && ok "a folder it cannot make: $message" ||
  fail "a folder it cannot make: status $status, '$message'"
status=0
env -i PATH="$PATH" "$launcher" >"$scratch/fail.out" 2>&1 || status=$?
[[ $status -eq 1 && $(cat "$scratch/fail.out") == "quorvane: HOME is not set"* ]] && ok "no HOME: $(cat "$scratch/fail.out")" ||
  fail "no HOME: status $status, '$(cat "$scratch/fail.out")'"
finish
