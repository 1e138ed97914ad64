#!/usr/bin/env bash
# The port setting moves Quorvane.exe to another port. Wine lists no
# parallel port, so with no setting the program keeps to 0x378; with
# HKLM\SOFTWARE\Quorvane\PortBase set to 0x278, a text as the installer
# writes it, and the simulated inpout32.dll keeping its port at 0x278, the
# program says once on standard error which port it uses and why, its
# first access is the write of 1 to 0x27a (634), a raised request read at
# 0x279 is answered there 0, 1, 0, 1, and not one access goes to 888-890.
# quorvane-porttest reads the same value: "list --bases" offers that base
# (what the installer's page shows) and "list" names it as the choice.
# The value goes when the test ends, however it ends: the other tests of
# the prefix run with no setting.
# The environment names, besides wine_run.sh's: SIMPORT (the Linux tool),
# SIMULATED_DLL and PORTTEST_EXE (the Windows builds).
source "$(dirname "$0")/wine_run.sh"

setting_key='HKLM\SOFTWARE\Quorvane'
setting_value=PortBase
forget_setting() {
  timeout "$(limit 60)" "$WINE" reg delete "$setting_key" /v "$setting_value" /f >/dev/null 2>&1
}
trap forget_setting EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

lay_out_run none
cp "$SIMULATED_DLL" "$PORTTEST_EXE" "$bin/"
state=$RUN_FOLDER/simulated-port
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
export QUORVANE_SIMULATED_PORT_BASE=0x278
timeout "$(limit 60)" "$WINE" reg add "$setting_key" /v "$setting_value" /t REG_SZ /d 0x278 /f >/dev/null 2>&1 ||
  { echo "cannot set $setting_key\\$setting_value"; exit 1; }

porttest() { timeout "$(limit 60)" "$WINE" "$bin/$(basename "$PORTTEST_EXE")" "$@" 2>&1 | tr -d '\r'; }
expect_equal "porttest list --bases" "$(porttest list --bases)" \
  "0x278 (the port set now; this system does not list it)"
listing=$(porttest list)
echo "$listing"
expect_match "porttest list" "$listing" "Quorvane would use: the port at 0x278: using the parallel port at 0x278, as HKLM.SOFTWARE.Quorvane.PortBase chooses"

accesses() { "$SIMPORT" --file "$state" watch --from-start --seconds 0.2; }
writes_634() { accesses | grep -E ' W +634 ' | awk '{print $NF}' | tr '\n' ' '; }
# Waits up to SECONDS for the writes to 634 to begin with PREFIX.
wait_writes() {
  local until=$((SECONDS + $2))
  while [[ $(writes_634) != "$1"* ]] && ((SECONDS < until)); do sleep 0.2; done
}

start_program
wait_writes "0x01 " "$(limit 20)"
"$SIMPORT" --file "$state" raise >/dev/null
# Dropped once the answer has begun, so that it is answered once.
wait_writes "0x01 0x00 " "$(limit 10)"
"$SIMPORT" --file "$state" drop >/dev/null
wait_writes "0x01 0x00 0x01 0x00 0x01 " "$(limit 10)"
sleep 2  # a poll or two more, with the request low
probe close
wait_program "$(limit 20)"
expect_equal "exit status after closing" "$program_status" 0

all=$(accesses)
echo "$all" | head -5
expect_equal "writes to 0x27a: start-up, then the answer" "$(writes_634)" "0x01 0x00 0x01 0x00 0x01 "
expect_match "first access" "$(sed -n 2p <<<"$all")" ' W +634 .*0x01$'
polls=$(grep -cE ' R +633 ' <<<"$all")
((polls >= 2)) || fail "the request line was read at 0x279 $polls times, expected a poll a second"
conventional=$(grep -E ' [RW] +(888|889|890) ' <<<"$all")
expect_equal "accesses to the port at 0x378" "$conventional" ""

error=$(tr -d '\r' <"$RUN_FOLDER/std.err")
expect_match "standard error" "$error" "0x278.*HKLM.SOFTWARE.Quorvane.PortBase"
expect_equal "lines on standard error" "$(grep -c . <<<"$error")" 1
finish
