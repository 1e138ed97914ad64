#!/usr/bin/env bash
# The real program under a virtual X server: a start-up failure shows its box
# before any window, prints one line on standard error, writes no restart log
# when the port is out of reach, and ends the program with a non-zero status;
# a good start shows the window and answers a request on the simulated port.
#
# usage: program_test.sh QUORVANE NO_LIBRARY_DIR CLOSED_LIBRARY_DIR
#                        SIMULATED_PORT_DIR SIMPORT_TOOL
set -uo pipefail

if [[ -z ${UNDER_XVFB:-} ]]; then
  for tool in xvfb-run xdotool xprop xwininfo; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
  UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

quorvane=$1 no_library=$2 closed_library=$3 simulated_port=$4 simport=$5
caption='^Quorvane - Tamsel$'
failures=0
fail() { echo "FAIL [$case]: $*"; failures=$((failures + 1)); }

# A fresh working folder for the next case.
new_case() {
  [[ -n ${folder:-} ]] && rm -rf "$folder"
  case=$1
  folder=$(mktemp -d)
  export QUORVANE_SIMULATED_PORT=$folder/simulated-port
  echo "case: $case"
}

# Starts the program in that folder, binding the port library from $1.
launch() {
  (cd "$folder" && LD_LIBRARY_PATH=$1 QT_QPA_PLATFORM=xcb exec "$quorvane" 2>stderr.txt) &
  pid=$!
}

# The one window that shows, or nothing after 20 s.
shown_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "$caption" 2>/dev/null | head -1
}

# Presses Enter on the box until the program has ended (at most ~10 s).
dismiss_and_wait() {
  local window=$1
  for _ in 1 2 3 4 5; do
    xdotool windowfocus --sync "$window" 2>/dev/null
    xdotool key Return 2>/dev/null
    for _ in $(seq 20); do
      kill -0 "$pid" 2>/dev/null || { wait "$pid"; return $?; }
      sleep 0.1
    done
  done
  kill "$pid"; wait "$pid"
  fail "the failure box could not be dismissed"
  return 0
}

# A failing start: the box is the only window, then a non-zero exit.
expect_failure() {
  local expected_text=$1
  local window
  window=$(shown_window)
  if [[ -z $window ]]; then
    fail "no failure box appeared"; kill "$pid"; wait "$pid"; return
  fi
  [[ $(xdotool search --onlyvisible --name "$caption" | wc -l) -eq 1 ]] ||
    fail "more than the failure box is visible"
  xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q DIALOG ||
    fail "the visible window is not the failure box"
  dismiss_and_wait "$window"
  local status=$?
  [[ $status -ne 0 && $status -lt 128 ]] || fail "exit status $status, expected a failure status"
  local ours
  ours=$(grep '^quorvane: ' "$folder/stderr.txt")
  [[ $(grep -c '^quorvane: ' "$folder/stderr.txt") -eq 1 ]] ||
    fail "expected one line on standard error, got: $(cat "$folder/stderr.txt")"
  [[ $ours == *"$expected_text"* ]] || fail "standard error says '$ours', expected '$expected_text'"
  echo "  $ours"
}

new_case "no port library"
launch "$no_library"
expect_failure "libinpout32.so"
[[ ! -e $folder/Quorvane.log ]] || fail "a restart log was written"

new_case "port not reachable"
launch "$closed_library"
expect_failure "cannot reach the parallel port"
[[ ! -e $folder/Quorvane.log ]] || fail "a restart log was written"

# The port is fine, the log cannot be opened: the window is still never shown.
new_case "log not writable"
mkdir "$folder/Quorvane.log"
launch "$simulated_port"
expect_failure "Quorvane.log"
[[ -d $folder/Quorvane.log && -z $(ls -A "$folder/Quorvane.log") ]] || fail "the log folder was touched"

# A good start: the window itself, at its fixed size, one log line, and the
# answer to a request: 0, 1, 0, 1 on the control register after the idle 1.
new_case "good start"
launch "$simulated_port"
window=$(shown_window)
if [[ -z $window ]]; then
  fail "the window did not appear"
else
  xprop -id "$window" _NET_WM_WINDOW_TYPE | grep -q NORMAL || fail "the window is not a normal window"
  size=$(xwininfo -id "$window" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w "x" h}')
  [[ $size == 312x109 ]] || fail "the window is $size, expected 312x109"
  [[ $(wc -l <"$folder/Quorvane.log") -eq 1 ]] || fail "expected one restart log line"
  "$simport" request --max 3 >/dev/null || fail "no answer began within 3 s of the request"
  sleep 3.5
  writes=$("$simport" watch --from-start --seconds 0.1 | awk '{for (i = 1; i < NF; i++) if ($i == "W" && $(i + 1) == 890) print $NF}' | xargs)
  [[ $writes == "0x01 0x00 0x01 0x00 0x01" ]] || fail "control register writes: $writes"
fi
kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
rm -rf "$folder"

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
echo "program test passed"
