#!/usr/bin/env bash
# The port chosen on a real kernel's driver: one boot of Debian's kernel
# under QEMU with two ports, 0x378 passed through to the host port fixture
# with its loopback plug (QEMU tags its accesses [HW]) and QEMU's own at
# 0x278 (tagged [SW], Select always 1: a request held). The guest's case
# "ports" (guest_init.sh) loads parport_pc for 0x278 alone, then for both,
# and runs the program and quorvane-porttest under each setting; the host
# judges the answers at 0x278 from QEMU's trace of that port alone, and the
# messages from the serial log. Skips (status 77) with one line of reason
# where a piece is missing.
#
# run_ports_guest_test.sh KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER JUDGE HOST_PORT SIMULATED_PORT_DIR PORTTEST
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/build_guest.sh"
source "$here/guest_console.sh"

[[ $# -eq 9 ]] || {
  echo "usage: $0 KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER JUDGE HOST_PORT SIMULATED_PORT_DIR PORTTEST" >&2
  exit 2
}
kernel_cache=$1 work=$2 program=$3 library=$4 claimer=$5 judge=$6 host_port=$7 simulated_dir=$8
porttest_program=$9
boot_limit=150 cases_limit=150

prepare_guest "$kernel_cache" "$work" "$program" "$library" "$claimer"

serial=$work/serial.log trace=$work/trace.log node=$work/parport0
export QUORVANE_SIMULATED_PORT=$work/port-state
rm -f "$serial" "$trace" "$QUORVANE_SIMULATED_PORT"
: > "$node"
started=$SECONDS
QUORVANE_HOST_PPDEV=$node QUORVANE_HOST_PORT_LOOPBACK=1 LD_PRELOAD=$host_port LD_LIBRARY_PATH=$simulated_dir \
  qemu-system-x86_64 -machine pc -accel tcg -m 256 -smp 1 \
  -nographic -monitor none -parallel none -nic none -no-reboot \
  -serial "file:$serial" \
  -kernel "$kernel_image" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 no_timer_check quorvane.cases=ports" \
  -chardev "parallel,id=lpt0,path=$node" -device isa-parallel,chardev=lpt0,iobase=0x378,irq=7 \
  -chardev null,id=lpt1 -device isa-parallel,chardev=lpt1,iobase=0x278,irq=5 \
  -trace 'enable=parallel_ioport_*' -D "$trace" -msg timestamp=on \
  < /dev/null > "$work/qemu.out" 2>&1 &
qemu=$!
trap 'kill -9 $qemu 2> /dev/null' EXIT

if ! wait_for '^@@info kernel' $boot_limit; then
  echo "FAIL: the guest did not start within $boot_limit s; QEMU said:"
  cat "$work/qemu.out"
  tr -d '\r' 2> /dev/null < "$serial" | tail -n 20
  exit 1
fi
finish_guest $cases_limit

failures=0
check() { # NAME OK TEXT
  if (($2)); then echo "ok: $1: $3"; else echo "FAIL: $1: $3" && failures=$((failures + 1)); fi
}
out() { guest_lines | sed -n "s/^@@out $1 //p"; }
status_of() { guest_lines | sed -n "s/^@@case $1 status \([0-9]*\) .*/\1/p" | head -n 1; }
# says NAME PATTERN: the case's output matches the extended pattern.
says() { check "$1" "$(out "$1" | grep -Eq -- "$2" && echo 1 || echo 0)" "says: $2"; }
ended() { # NAME STATUS...
  local name=$1 status
  status=$(status_of "$name")
  shift
  check "$name" "$([[ " $* " == *" ${status:-none} "* ]] && echo 1 || echo 0)" "status ${status:-none} (wanted $*)"
}
for name in only_0x278 list_two two_ports list_set set_0x278 set_absent set_bad loopback_plug loopback_none \
  watch_refused; do
  echo "--- $name"
  out "$name" | sed 's/^/  /'
done

echo "--- the judgements"
# 143: stopped by the guest's timeout, as a run that goes on must be.
ended only_0x278 143 0
says only_0x278 '^quorvane: using the parallel port parport0 at 0x278, the only one this machine has'
"$judge" --device SW --answers 2 "$trace" 0xB1 | grep -vE '^ +[0-9.]+ s  (R|W) '
check only_0x278 $((PIPESTATUS[0] == 0)) "answers at 0x278 in QEMU's trace of that port"

ended list_two 0
says list_two '^  parport0 at 0x378 \(driver [^,]*, free\)$'
says list_two '^  parport1 at 0x278 '
says list_two '^Quorvane would use: parport0 at 0x378: the port at 0x378, as always$'
ended two_ports 143 0
check two_ports "$(out two_ports | grep -q 'using the parallel port' && echo 0 || echo 1)" "nothing told at 0x378"
says list_set '^Quorvane would use: parport1 at 0x278: using the parallel port parport1 at 0x278, as /etc/quorvane.conf chooses$'

ended set_0x278 143 0
says set_0x278 '^quorvane: using the parallel port parport1 at 0x278, as /etc/quorvane.conf chooses$'
"$judge" --device SW --answers 2 "$trace" 0xB2 | grep -vE '^ +[0-9.]+ s  (R|W) '
check set_0x278 $((PIPESTATUS[0] == 0)) "answers at 0x278 in QEMU's trace of that port"

ended set_absent 1
says set_absent 'chooses parport5, which this machine does not have; this machine has 2: parport0 at 0x378 .*parport1 at 0x278 .*port = parport0'
ended set_bad 1
says set_bad '/etc/quorvane.conf names no port: "0x27a" is not a port.s base'

ended loopback_plug 0
says loopback_plug '^loopback: ok'
ended loopback_none 1
says loopback_none 'stays at 1 while the answer line toggles: no plug is in'
ended watch_refused 1
says watch_refused 'held by another program: "?quorvane-console"?'

echo "$failures failed"
((failures == 0))
