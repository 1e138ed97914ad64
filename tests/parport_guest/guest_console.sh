#!/usr/bin/env bash
# The host's view of a running guest, through its serial console log:
# sourced by the guest tests, with $serial (the log) and $qemu (QEMU's
# process id) set.

# guest_lines: the lines the guest wrote for the host (the firmware leaves
# its escape codes before the first), without CRs.
guest_lines() { tr -d '\r' 2> /dev/null < "$serial" | grep -ao '@@.*'; }

# Whether QEMU still runs (a process that ended but was not waited for yet
# is a zombie, which kill -0 would still find).
qemu_running() {
  local state
  state=$(awk '/^State:/ { print $2 }' /proc/$qemu/status 2> /dev/null)
  [[ -n $state && $state != Z ]]
}

# wait_for PATTERN SECONDS: until the guest printed a line matching PATTERN
# or QEMU ended; fails after SECONDS.
wait_for() {
  local deadline=$((SECONDS + $2))
  while ((SECONDS < deadline)); do
    guest_lines | grep -q "$1" && return 0
    qemu_running || return 1
    sleep 0.5
  done
  return 1
}

# finish_guest SECONDS: waits for the guest's last case and for QEMU to end,
# then prints how long the run took and what the guest said of itself;
# ends the test failed, with the end of the console, when the cases do not
# finish in time.
finish_guest() {
  if ! wait_for '^@@done' "$1"; then
    echo "FAIL: the guest did not finish its cases within $1 s; the end of its console:"
    tr -d '\r' 2> /dev/null < "$serial" | tail -n 30
    exit 1
  fi
  wait "$qemu" 2> /dev/null
  echo "guest run: $((SECONDS - started)) s"
  guest_lines | grep '^@@info' | sed 's/^@@info /guest: /'
}
