#!/usr/bin/env bash
# The program on a real kernel's parallel-port driver: boots Debian's kernel
# under qemu-system-x86_64 (software emulation) with an emulated ISA port at
# 0x378, runs the text front end with the hardware port library in the guest
# (guest_init.sh, one case after another) and judges, on the host:
#   - the answers, from QEMU's trace of the port's registers, with the
#     supervisor's answer checker (quorvane-qemu-trace-judge);
#   - each failure case's message, status 1 and time, from the serial log.
# Skips (status 77) with one line of reason where a piece is missing.
#
# run_guest_test.sh KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER JUDGE
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/build_guest.sh"
source "$here/guest_console.sh"

[[ $# -eq 6 ]] || { echo "usage: $0 KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER JUDGE" >&2; exit 2; }
kernel_cache=$1 work=$2 program=$3 library=$4 claimer=$5 judge=$6

# Cases that must hold, and cases that run and report what they see but do
# not fail the test (none now; a case under work can be put here).
required_cases=(no_parport_pc no_ppdev not_in_lp answers second_copy held_by_other held_exclusively)
pending_cases=()

# Guest waits are generous (the machine may be busy); the answers' step
# tolerance is the supervisor's own and is never widened here.
boot_limit=150    # seconds from QEMU's start to the guest's first line
cases_limit=150   # seconds from there to the guest's last line
answer_seconds=13 # the answers case: three answers and part of a fourth

prepare_guest "$kernel_cache" "$work" "$program" "$library" "$claimer"

serial=$work/serial.log trace=$work/trace.log
rm -f "$serial" "$trace"
# no_timer_check: on a busy host the emulated CPU can be too slow for the
# kernel's boot-time check of the timer interrupt, which then panics.
all_cases=$(IFS=,; echo "${required_cases[*]},${pending_cases[*]}")
qemu-system-x86_64 -machine pc -accel tcg -m 256 -smp 1 \
  -nographic -monitor none -parallel none -nic none -no-reboot \
  -serial "file:$serial" \
  -kernel "$kernel_image" -initrd "$work/initramfs.cpio" \
  -append "console=ttyS0 quiet loglevel=3 panic=-1 no_timer_check quorvane.cases=$all_cases quorvane.answer_seconds=$answer_seconds" \
  -chardev null,id=lpt -device isa-parallel,chardev=lpt,iobase=0x378,irq=7 \
  -trace 'enable=parallel_ioport_*' -D "$trace" -msg timestamp=on \
  < /dev/null > "$work/qemu.out" 2>&1 &
qemu=$!
trap 'kill -9 $qemu 2> /dev/null' EXIT

started=$SECONDS
if ! wait_for '^@@info kernel' $boot_limit; then
  echo "FAIL: the guest did not start within $boot_limit s; the end of its console:"
  tr -d '\r' 2> /dev/null < "$serial" | tail -n 20
  cat "$work/qemu.out"
  exit 1
fi
echo "guest up in $((SECONDS - started)) s: $(guest_lines | sed -n 's/^@@info //p' | head -n 1)"
finish_guest $cases_limit

failures=0 pending_failures=0
# verdict CASE OK TEXT: counts a failed check, against the test or as pending.
verdict() {
  local name=$1 ok=$2 text=$3 kind=FAIL
  # second_copy_first, the copy already running, belongs to second_copy.
  if [[ " ${pending_cases[*]} " == *" ${name%_first} "* ]]; then kind="PENDING (not yet required)"; fi
  if ((ok)); then
    echo "ok: $name: $text"
  elif [[ $kind == FAIL ]]; then
    echo "FAIL: $name: $text"
    failures=$((failures + 1))
  else
    echo "$kind: $name: $text"
    pending_failures=$((pending_failures + 1))
  fi
}

# A failure case: status 1 within LIMIT seconds, and a "quorvane: " line
# matching PATTERN.
expect_failure() {
  local name=$1 pattern=$2 limit=$3 status seconds message
  read -r _ _ _ status _ seconds < <(guest_lines | grep "^@@case $name status " | head -n 1)
  message=$(guest_lines | sed -n "s/^@@out $name //p" | grep '^quorvane: ' | head -n 1)
  echo "$name: status ${status:-none} after ${seconds:-?} s: ${message:-(no quorvane: line)}"
  if [[ -z ${status:-} ]]; then
    verdict "$name" 0 "the case did not run"
    return
  fi
  local in_time
  in_time=$(awk -v s="$seconds" -v l="$limit" 'BEGIN { print (s <= l) }')
  verdict "$name" $((status == 1 && in_time)) "status 1 within $limit s (saw $status after $seconds s)"
  verdict "$name" "$(grep -Eqi -- "$pattern" <<< "$message" && echo 1 || echo 0)" "the message says: $pattern"
}

# A case of answers judged from the trace: the case's stamp and the
# answers wanted.
expect_answers() {
  local name=$1 stamp=$2 answers=$3 status
  echo "--- $name: the register timeline (QEMU's trace)"
  "$judge" --answers "$answers" "$trace" "$stamp"
  verdict "$name" $(($? == 0)) "at least $answers well-formed answers from the start-up write on"
  # Stopped by the guest's timeout (SIGTERM), or ending cleanly on it.
  status=$(guest_lines | sed -n "s/^@@case $name status \([0-9]*\) .*/\1/p" | head -n 1)
  verdict "$name" "$([[ ${status:-} == 143 || ${status:-} == 0 ]] && echo 1 || echo 0)" \
    "ran until stopped (status ${status:-none}; 143 is SIGTERM)"
  guest_lines | sed -n "s/^@@out $name /  $name: /p" | grep 'quorvane: '
}

expect_failure no_parport_pc 'no parallel port at 0x378.*parport_pc' 5
expect_failure no_ppdev 'no device /dev/parport0.*ppdev' 5
expect_failure not_in_lp 'permission denied on /dev/parport0.*group lp' 5
expect_answers answers 0xA1 3

expect_failure second_copy 'held by another program: "?quorvane-console"? \(process [0-9]+\) has locked /dev/parport0' 2
expect_answers second_copy_first 0xA2 2
expect_failure held_by_other 'held by another program' 2
expect_failure held_exclusively 'held by another program' 2

echo "$failures failed, $pending_failures pending checks not yet met"
((failures == 0))
