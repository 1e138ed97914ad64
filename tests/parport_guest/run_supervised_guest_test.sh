#!/usr/bin/env bash
# The program on a real kernel's parallel-port driver with the supervisor at
# the far end of the port: boots Debian's kernel under qemu-system-x86_64
# with QEMU's pass-through parallel device, whose ppdev ioctls the host port
# fixture (host_port/, preloaded into QEMU) answers from the simulated port.
# The guest runs the text front end on the hardware port library once; the
# host plays one supervisor pattern after another on the request line and
# each run of the supervisor judges its own case. QEMU's register trace of
# the whole run is then judged by the trace judge as a second opinion.
# Skips (status 77) with one line of reason where a piece is missing.
#
# run_supervised_guest_test.sh KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER
#   SUPERVISOR JUDGE HOST_PORT SIMULATED_PORT_DIR
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/build_guest.sh"
source "$here/guest_console.sh"

[[ $# -eq 9 ]] || {
  echo "usage: $0 KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER SUPERVISOR JUDGE HOST_PORT SIMULATED_PORT_DIR" >&2
  exit 2
}
kernel_cache=$1 work=$2 program=$3 library=$4 claimer=$5 supervisor=$6 judge=$7 host_port=$8 simulated_dir=$9

# The cases: a name, then the supervisor's arguments. --status sets the
# other inputs at each case's start, so no case inherits the one before.
cases=(
  "idle|--status 0x00 idle 10"
  "idle_other_inputs_raised|--status 0xEF idle 10"
  "single_requests|--status 0x00 every 5 --count 4"
  "held_request|--status 0x00 hold 9"
  "short_pulses|--status 0x00 pulse 300 --count 3"
)
boot_limit=150     # seconds from QEMU's start to the program's start
case_slack=30      # seconds a supervisor run may take beyond its pattern
# The program's own time limit in the guest, far beyond the cases; the host
# ends QEMU when they are done.
program_seconds=400

prepare_guest "$kernel_cache" "$work" "$program" "$library" "$claimer"

serial=$work/serial.log trace=$work/trace.log node=$work/parport0
export QUORVANE_SIMULATED_PORT=$work/port-state
rm -f "$serial" "$trace" "$QUORVANE_SIMULATED_PORT" "$work"/case-*.log
# QEMU opens the node, never makes it.
: > "$node"
qemu_started=$SECONDS
QUORVANE_HOST_PPDEV=$node LD_PRELOAD=$host_port LD_LIBRARY_PATH=$simulated_dir \
  qemu-system-x86_64 -machine pc -accel tcg -m 256 -smp 1 \
  -nographic -monitor none -parallel none -nic none -no-reboot \
  -serial "file:$serial" \
  -kernel "$kernel_image" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 no_timer_check quorvane.cases=supervised quorvane.supervised_seconds=$program_seconds" \
  -chardev "parallel,id=lpt,path=$node" -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
  -trace 'enable=parallel_ioport_*' -D "$trace" -msg timestamp=on \
  < /dev/null > "$work/qemu.out" 2>&1 &
qemu=$!
trap 'kill -9 $qemu 2> /dev/null' EXIT

if ! wait_for '^@@ready supervised' $boot_limit; then
  echo "FAIL: the program did not start in the guest within $boot_limit s; QEMU said:"
  cat "$work/qemu.out"
  echo "the end of the guest's console:"
  tr -d '\r' 2> /dev/null < "$serial" | tail -n 20
  exit 1
fi
echo "guest up, program started, in $((SECONDS - qemu_started)) s"
guest_lines | grep '^@@info' | sed 's/^@@info /guest: /'

# pattern_seconds ARGS...: how long the pattern plays, for the case's bound.
pattern_seconds() {
  local -a words=("$@")
  local i
  for ((i = 0; i < ${#words[@]}; i++)); do
    case ${words[i]} in
      idle | hold) echo "${words[i + 1]}" && return ;;
      every) echo $((${words[i + 1]} * 4)) && return ;;
      pulse) echo 10 && return ;;
    esac
  done
  echo 20
}

failures=0
for entry in "${cases[@]}"; do
  name=${entry%%|*}
  read -ra arguments <<< "${entry#*|}"
  bound=$(($(pattern_seconds "${arguments[@]}") + case_slack))
  log=$work/case-$name.log
  echo "--- $name: quorvane-supervisor ${arguments[*]}"
  timeout -s INT -k 5 "$bound" "$supervisor" --wait-poll "${arguments[@]}" > "$log" 2>&1
  status=$?
  grep -E ' (OK|LATE|MALFORMED|UNREQUESTED|MISSING|STRAY|UNFINISHED|ERROR|WARNING) ' "$log"
  sed -n '/^--- summary ---$/,$p' "$log" | grep -E '^(answers seen|  ok|missing|stray writes|spacing error max|latency|result) '
  if ((status == 0)); then
    echo "ok: $name"
  else
    echo "FAIL: $name (the supervisor's status $status; its whole trace: $log)"
    failures=$((failures + 1))
  fi
  qemu_running || { echo "FAIL: QEMU ended during $name" && failures=$((failures + 1)) && break; }
done

kill -9 $qemu 2> /dev/null
wait $qemu 2> /dev/null
echo "guest run: $((SECONDS - qemu_started)) s"

# The second opinion: the whole run from QEMU's side of the port, which
# sees only what the polls saw of the request line (pulses between polls
# not at all), judged from the program's start-up write.
answers=$(cat "$work"/case-*.log | sed -n 's/^  ok  *\([0-9]*\)$/\1/p' | awk '{ n += $1 } END { print n + 0 }')
echo "--- the trace judge over the whole run ($answers answers the supervisor passed)"
"$judge" --answers "$answers" "$trace" 0xA5 | grep -vE '^ +[0-9.]+ s  (R|W) '
judged=${PIPESTATUS[0]}
if ((judged == 0)); then
  echo "ok: the trace judge agrees"
else
  echo "FAIL: the trace judge does not agree (status $judged)"
  failures=$((failures + 1))
fi

echo "$failures failed"
((failures == 0))
