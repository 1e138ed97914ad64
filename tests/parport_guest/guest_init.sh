#!/bin/sh
# /init of the test guest: a busybox system that runs the text front end on
# the hardware port library against the kernel's own parport, parport_pc and
# ppdev drivers, one case after another, and powers off.
#
# Everything the host reads goes to the serial console as lines starting
# with "@@" (the kernel is told to stay quiet there):
#   @@case NAME begin
#   @@out NAME <one line the program printed, stdout and stderr together>
#   @@case NAME status N seconds S.SS
#   @@info <what the guest saw, e.g. the driver's own lines>
#   @@done
# Before each case that reaches the port, a case stamp (a write of the
# case's number to the data register, which the program never touches) goes
# into QEMU's register trace, so the host can cut the trace into cases.
#
# Each case is one function; every program run is bounded by a timeout, so
# a program that hangs costs the case its time, never the test.

export PATH=/bin
program=/opt/quorvane/bin/quorvane-console
library_dir=/opt/quorvane/lib
modules=/lib/modules/parport

mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
mount -t tmpfs tmpfs /tmp

info() { echo "@@info $*"; }

# The seconds since boot, to the hundredth, from /proc/uptime.
uptime_cs() { read -r up _ < /proc/uptime; echo $((${up%.*} * 100 + 1${up#*.} - 100)); }

# run_as CASE USER SECONDS SIGNAL: runs the program as USER in a
# fresh working folder of the case, at most SECONDS (then SIGNAL), and
# reports its lines, status and run time.
run_as() {
  case_name=$1 user=$2 limit=$3 signal=$4
  folder=/home/$user/$case_name
  mkdir -p "$folder" && chown "$user" "$folder"
  start=$(uptime_cs)
  su -s /bin/sh "$user" -c "cd $folder && LD_LIBRARY_PATH=$library_dir exec timeout -s $signal $limit $program" \
    > /tmp/$case_name.out 2>&1
  status=$?
  end=$(uptime_cs)
  sed "s/^/@@out $case_name /" /tmp/$case_name.out
  elapsed=$((end - start))
  echo "@@case $case_name status $status seconds $((elapsed / 100)).$(printf %02d $((elapsed % 100)))"
}

stamp() { /bin/port-claimer mark "$1" || info "case stamp $1 could not be written"; }

# The node as Debian's udev makes it: group lp, mode 0660.
make_node() {
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    [ -c /dev/parport0 ] && break
    sleep 0.1
  done
  [ -c /dev/parport0 ] || mknod /dev/parport0 c 99 0
  chgrp lp /dev/parport0 && chmod 0660 /dev/parport0
}

loaded() { grep -q "^$1 " /proc/modules; }

# only_modules NAME...: exactly these of the three drivers loaded, so that a
# case does not depend on the one before it.
only_modules() {
  for module in ppdev parport_pc parport; do
    case " $* " in *" $module "*) ;; *) loaded $module && rmmod $module ;; esac
  done
  for module in parport parport_pc ppdev; do
    case " $* " in *" $module "*) loaded $module || insmod $modules/$module.ko ;; esac
  done
  if loaded parport_pc && loaded ppdev; then make_node; fi
}

# --- the cases ---------------------------------------------------------------

# The parallel-port core and ppdev, but no driver for the PC port itself.
case_no_parport_pc() {
  echo "@@case no_parport_pc begin"
  only_modules parport ppdev
  run_as no_parport_pc quorvane 10 KILL
}

# The port driver, but no ppdev: no /dev/parport0 for a user to open.
case_no_ppdev() {
  echo "@@case no_ppdev begin"
  only_modules parport parport_pc
  dmesg | grep -i 'parport0' | sed 's/^/@@info /'
  run_as no_ppdev quorvane 10 KILL
}

# Everything loaded, but the user is not in group lp.
case_not_in_lp() {
  echo "@@case not_in_lp begin"
  only_modules parport parport_pc ppdev
  info "$(ls -l /dev/parport0)"
  run_as not_in_lp outsider 10 KILL
}

# The program answering: the request line is always raised on QEMU's port,
# so answers follow one another until the timeout stops it.
case_answers() {
  echo "@@case answers begin"
  only_modules parport parport_pc ppdev
  stamp 0xA1
  run_as answers quorvane "$answer_seconds" TERM
}

# A second copy started while the first answers; the first copy's answers
# are judged too.
case_second_copy() {
  echo "@@case second_copy begin"
  only_modules parport parport_pc ppdev
  stamp 0xA2
  run_as second_copy_first quorvane 9 TERM &
  first=$!
  sleep 4.5
  run_as second_copy quorvane 4 KILL
  wait $first
}

# Another program holds the port (claimed, shared or exclusively) when the
# program starts.
held_by() {
  case_name=$1 mode=$2
  echo "@@case $case_name begin"
  only_modules parport parport_pc ppdev
  stamp "$3"
  holder_out=/tmp/$case_name.holder
  /bin/port-claimer hold 6 $mode > "$holder_out" 2>&1 &
  holder=$!
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    grep -q held "$holder_out" 2> /dev/null && break
    sleep 0.2
  done
  info "holder: $(cat "$holder_out")"
  run_as "$case_name" quorvane 4 KILL
  kill $holder 2> /dev/null
  wait $holder 2> /dev/null
}
case_held_by_other() { held_by held_by_other "" 0xA3; }
case_held_exclusively() { held_by held_exclusively excl 0xA4; }

# The program on a port whose far end is the host's supervisor (the
# supervised test): started once, it answers whatever the host plays on the
# request line until the host ends the run. "@@ready" tells the host that
# the boot's and the driver's own port accesses are over: the program shows
# that it waits for a request only after its start-up write and first poll.
case_supervised() {
  echo "@@case supervised begin"
  only_modules parport parport_pc ppdev
  stamp 0xA5
  run_as supervised quorvane "$supervised_seconds" TERM &
  for _ in $(seq 150); do
    grep -q 'Waiting for Request' /tmp/supervised.out 2> /dev/null && break
    sleep 0.2
  done
  echo "@@ready supervised"
  wait
}

# --- Ports elsewhere (run_ports_guest_test.sh) ---------------------------------
# QEMU has ports at 0x378 (passed through to the host's loopback plug) and
# 0x278 (its own, whose Select always reads 1: a request held). parport_pc's
# io= decides which of them the kernel has, so one boot covers a machine
# with only 0x278 and one with both.
porttest=/opt/quorvane/bin/quorvane-porttest

ports_at() {
  for module in ppdev parport_pc; do loaded $module && rmmod $module; done
  loaded parport || insmod $modules/parport.ko
  insmod $modules/parport_pc.ko io="$1"
  insmod $modules/ppdev.ko
  for n in 0 1; do
    [ -d /proc/sys/dev/parport/parport$n ] || continue
    [ -c /dev/parport$n ] || mknod /dev/parport$n c 99 $n
    chgrp lp /dev/parport$n && chmod 0660 /dev/parport$n
    info "parport$n at $(cut -f1 /proc/sys/dev/parport/parport$n/base-addr)"
  done
}

stamp_on() {
  PORT_CLAIMER_NODE=$1 /bin/port-claimer mark "$2" || info "case stamp $2 on $1 could not be written"
}

# The administrator's setting, or none.
setting() {
  if [ -n "$1" ]; then echo "port = $1" > /etc/quorvane.conf; else rm -f /etc/quorvane.conf; fi
}

# porttest CASE USER SECONDS ARGS...: quorvane-porttest, reported as a case.
porttest() {
  case_name=$1 user=$2 limit=$3
  shift 3
  start=$(uptime_cs)
  su -s /bin/sh "$user" -c "LD_LIBRARY_PATH=$library_dir exec timeout -s KILL $limit $porttest $*" \
    > /tmp/$case_name.out 2>&1
  status=$?
  elapsed=$(($(uptime_cs) - start))
  sed "s/^/@@out $case_name /" /tmp/$case_name.out
  echo "@@case $case_name status $status seconds $((elapsed / 100)).$(printf %02d $((elapsed % 100)))"
}

case_ports() {
  echo "@@case ports begin"
  # A machine whose only port is at 0x278: taken, and said so.
  ports_at 0x278
  setting ""
  stamp_on /dev/parport0 0xB1
  run_as only_0x278 quorvane 8 TERM
  # A stamp ends the judged stretch before the driver's next probe.
  stamp_on /dev/parport0 0xB9
  # Both ports: 0x378 as always; a setting moves the program to 0x278.
  ports_at 0x378,0x278
  porttest list_two quorvane 10 list
  run_as two_ports quorvane 4 TERM
  setting 0x278
  porttest list_set quorvane 10 list
  stamp_on /dev/parport1 0xB2
  run_as set_0x278 quorvane 8 TERM
  stamp_on /dev/parport1 0xBA
  # Settings that name no port of this machine, or no port at all.
  setting parport5
  run_as set_absent quorvane 10 KILL
  setting 0x27a
  run_as set_bad quorvane 10 KILL
  # The loopback plug on 0x378; none on 0x278.
  setting ""
  porttest loopback_plug quorvane 10 loopback
  setting 0x278
  porttest loopback_none quorvane 10 loopback
  # watch is refused while the program holds the port.
  setting ""
  run_as watch_holder quorvane 6 TERM &
  sleep 3
  porttest watch_refused quorvane 10 watch 1
  wait
  setting ""
}

# --- the run -----------------------------------------------------------------

answer_seconds=13
supervised_seconds=240
cases="no_parport_pc no_ppdev not_in_lp answers"
for word in $(cat /proc/cmdline); do
  case $word in
    quorvane.cases=*) cases=$(echo "${word#*=}" | tr , ' ') ;;
    quorvane.answer_seconds=*) answer_seconds=${word#*=} ;;
    quorvane.supervised_seconds=*) supervised_seconds=${word#*=} ;;
  esac
done

info "kernel $(uname -r)"
for name in $cases; do "case_$name"; done
echo "@@done"
poweroff -f
