#!/usr/bin/env bash
# The Windows service under Wine, installed by the installer run silently
# with /SERVICE, as an administrator sets up a PC that must answer from boot:
#
#  - the service is registered to start at boot as LocalService, with its
#    event source, and no Startup shortcut is made; started by hand, its
#    program says it runs only as a service;
#  - with no inpout32.dll yet, its start fails: the manager sees it stopped
#    with the service's own error code, and the reason is in the event log;
#  - with the simulated inpout32.dll placed, started again, it answers the
#    Linux supervisor on the simulated port, stamps Quorvane.log in the data
#    folder, and writes one event entry for its start (which names the
#    failure before it), none for each text a window would show;
#  - a window copy started meanwhile is refused: the port is held;
#  - installed again over the running service: stopped, set anew, started;
#  - a stop asked while answers run (the request held raised) ends the
#    service after the answer under way, with the answer line at its idle
#    level 1, and a "Stopped" entry;
#  - the service's own SID (unrestricted) and its one privilege, where the
#    manager keeps them (Wine's does not: noted);
#  - recovery: Wine's manager keeps no failure actions (ERROR_INVALID_LEVEL
#    from QueryServiceConfig2W), so here only that the installer's asking
#    for them did not fail the install; check_service_recovery.sh reads what
#    the installer asks for;
#  - the silent uninstaller removes the service and its event source and
#    keeps the log.
#
# Under Wine the event log is not kept: advapi32's ReportEventW writes each
# entry's text on its "eventlog" debug channel (errors as err, the others
# as trace), on the standard error of the manager, services.exe, which the
# service inherits. The session's first process (a holder that keeps the
# session alive between commands) turns that channel on. The simulated
# port's file is named in the system's environment, which is the one a
# service gets.
#
# Runs inside with_wine.sh, in a prefix of its own (a service left behind
# would start with every later session of the prefix). The environment
# names PACKAGES (the installer's folder), SUPERVISOR and SIMPORT (the Linux
# bench tools), WINDOWS_TEST_PROGRAMS and RUN_FOLDER.
source "$(dirname "$0")/wine_run.sh"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
installer=$(ls "$PACKAGES"/*.exe 2>/dev/null | head -1)
[[ -f $installer ]] || { echo "no installer in $PACKAGES"; exit 1; }

drive_c=$WINEPREFIX/drive_c
program_folder=$drive_c/Program\ Files/Quorvane
data_folder=$drive_c/ProgramData/Quorvane
service=Quorvane
service_key='HKLM\System\CurrentControlSet\Services\Quorvane'
event_source_key='HKLM\System\CurrentControlSet\Services\EventLog\Application\Quorvane'
startup_link=$drive_c/ProgramData/Microsoft/Windows/Start\ Menu/Programs/StartUp/Quorvane.lnk
rm -rf "$RUN_FOLDER"
mkdir -p "$RUN_FOLDER"
state=$RUN_FOLDER/simulated-port
services_err=$RUN_FOLDER/services.err


sc_exe() { timeout "$(limit 60)" "$WINE" sc.exe "$@" 2>/dev/null | tr -d '\r'; }
# Waits up to SECONDS for the service's state (RUNNING, STOPPED); prints
# what the manager says of it last.
wait_state() {
  local until=$((SECONDS + $2)) query
  while query=$(sc_exe query "$service") && ! grep -q "STATE *: *[0-9]  *$1" <<<"$query" &&
    ((SECONDS < until)); do
    sleep 0.5
  done
  printf '%s\n' "$query"
}
writes_890() { "$SIMPORT" --file "$state" watch --from-start --seconds 1 | grep ' W  890' | awk '{print $NF}'; }
reg_query() { timeout "$(limit 60)" "$WINE" reg query "$@" 2>/dev/null | tr -d '\r'; }
reg_key_exists() { timeout "$(limit 60)" "$WINE" reg query "$1" >/dev/null 2>&1; }
install() {
  timeout "$(limit 180)" "$WINE" "$installer" /S "$@"
}
# What an earlier run may have left: the service, which started with this
# session, stops and goes.
sc_exe stop "$service" >/dev/null
sc_exe delete "$service" >/dev/null
rm -rf "$program_folder" "$data_folder"
# A service's environment is the system's (Session Manager\Environment) as
# the manager found it when it started, not its starter's: the simulated
# port's file is named there, for the next session's manager.
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
timeout "$(limit 60)" "$WINE" reg add 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' \
  /v QUORVANE_SIMULATED_PORT /t REG_SZ /d "$QUORVANE_SIMULATED_PORT" /f >/dev/null 2>&1 ||
  { echo "cannot name the simulated port's file in the system's environment"; exit 1; }

# A session of its own, whose first process (a holder that keeps it alive
# between the commands below) starts the manager, which the service
# inherits the debug channels from.
wineserver -k 2>/dev/null
timeout "$(limit 20)" wineserver -w 2>/dev/null
# (The service left behind may have written there meanwhile.)
rm -f "$state"
wineserver </dev/null >>"$WINEPREFIX.log" 2>&1
WINEDEBUG=-all,err+eventlog,warn+eventlog,trace+eventlog \
  "$WINE" "$WINDOWS_TEST_PROGRAMS/service_probe.exe" hold "$(limit 900)" >"$RUN_FOLDER/holder.out" \
  2>"$services_err" &
holder_pid=$!
trap 'kill "$holder_pid" 2>/dev/null' EXIT
for ((tenths = $(limit 60) * 10; tenths > 0; tenths--)); do
  grep -q holding "$RUN_FOLDER/holder.out" 2>/dev/null && break
  sleep 0.1
done
grep -q holding "$RUN_FOLDER/holder.out" || { echo "the session's first process did not start"; exit 1; }

echo "installing $(basename "$installer") /S /SERVICE, without a port library"
install /SERVICE
expect_equal "installer's exit status" "$?" 0
[[ -f $program_folder/quorvane-service.exe ]] || fail "no quorvane-service.exe in the program's folder"
[[ -e $startup_link ]] && fail "a Startup shortcut beside the service"
config=$(reg_query "$service_key")
echo "$config"
expect_match "service's start" "$config" 'Start +REG_DWORD +0x2'
expect_match "service's account" "$config" 'ObjectName +REG_SZ +NT AUTHORITY\\LocalService'
expect_match "service's program" "$config" 'ImagePath +REG_[A-Z_]*SZ +"C:\\Program Files\\Quorvane\\quorvane-service.exe"'
expect_match "service's description" "$config" 'Description +REG_SZ +Answers a supervising device'
source_config=$(reg_query "$event_source_key")
echo "$source_config"
expect_match "event source's message file" "$source_config" \
  'EventMessageFile +REG_EXPAND_SZ +C:\\Program Files\\Quorvane\\quorvane-service.exe'

# Started by hand, it says what it is.
timeout "$(limit 60)" "$WINE" "$program_folder/quorvane-service.exe" >/dev/null 2>"$RUN_FOLDER/by-hand.err"
expect_equal "started by hand, exit status" "$?" 1
expect_match "started by hand" "$(tr -d '\r' <"$RUN_FOLDER/by-hand.err")" \
  '^quorvane: quorvane-service.exe runs only as a Windows service, started by the Service Control Manager'

echo "the installer started it with no inpout32.dll: it stops with its own error code"
query=$(wait_state STOPPED "$(limit 30)")
echo "$query"
expect_match "stopped on a failure" "$query" 'WIN32_EXIT_CODE *: *1066 '
expect_match "the service's own code" "$query" 'SERVICE_EXIT_CODE *: *1 '
expect_match "the reason in the event log" "$(cat "$services_err")" \
  'err:eventlog:ReportEventW L"Cannot load the port library inpout32.dll from the program.s folder'
[[ -e $data_folder/Quorvane.log ]] && fail "a log line from a start that failed"

echo "with the simulated inpout32.dll beside it"
cp "$SIMULATED_DLL" "$program_folder/"
sc_exe start "$service" >/dev/null
query=$(wait_state RUNNING "$(limit 30)")
expect_match "running" "$query" 'STATE *: *4 '
timeout "$(limit 60)" "$SUPERVISOR" --file "$state" --wait-poll --late 2.5 --deadline 6 --wine once \
  >"$RUN_FOLDER/once.txt" 2>&1
expect_equal "supervisor, one request" "$?" 0
cat "$RUN_FOLDER/once.txt"
expect_equal "answer values" "$(writes_890 | tr '\n' ' ')" "0x01 0x00 0x01 0x00 0x01 "
read_log_in() { log=$(cat "$1/Quorvane.log" 2>/dev/null; echo .); log=${log%.}; }
read_log_in "$data_folder"
stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}'
expect_match "restart log in the data folder" "$log" "^${stamp}"$'\r\n''$'
entries=$(grep -o 'trace:eventlog:ReportEventW L".*"' "$services_err" | sed 's/^[^"]*"//; s/"$//')
echo "$entries"
# Changes of state only: the start, which names the failure it ends; no
# entry for each text a window would show (about three an answer).
grep -qE "^Started, answering on the parallel port; last restart: ${stamp}; started again after 1 failure: Cannot load the port library" <<<"$entries" ||
  fail "no entry for the start after the failure in the event log"
grep -E '^(status|last request): ' <<<"$entries" && fail "the texts a window would show flood the event log"

echo "a window copy while the service runs"
cp "$WINDOWS_TEST_PROGRAMS/window_probe.exe" "$RUN_FOLDER/"
(cd "$RUN_FOLDER" && exec "$WINE" "$program_folder/Quorvane.exe" >"$RUN_FOLDER/window.out" 2>"$RUN_FOLDER/window.err") &
program_pid=$!
box=$("$WINE" "$RUN_FOLDER/window_probe.exe" dismiss-box "$(limit 30)" 2>/dev/null)
echo "$box"
expect_match "window copy's box" "$(grep -m1 '^box ' <<<"$box")" \
  "^box The parallel port at 888 is held by another program: another copy of Quorvane runs"
wait_program "$(limit 20)"
expect_equal "window copy's exit status" "$program_status" 1

echo "installing again over the running service"
install /SERVICE
expect_equal "second installer's exit status" "$?" 0
query=$(wait_state RUNNING "$(limit 30)")
expect_match "running again" "$query" 'STATE *: *4 '
for ((tenths = $(limit 20) * 10; tenths > 0; tenths--)); do
  read_log_in "$data_folder"
  [[ $log =~ ^(${stamp}$'\r\n'){2}$ ]] && break
  sleep 0.1
done
expect_match "a second line in the restart log" "$log" "^(${stamp}"$'\r\n'"){2}\$"

echo "a stop asked while answers run"
base=$(writes_890 | wc -l)
"$SIMPORT" --file "$state" raise >/dev/null
# Held raised, the request is answered back to back: a stop almost always
# comes during an answer.
for ((tenths = $(limit 10) * 10; tenths > 0; tenths--)); do
  (($(writes_890 | wc -l) >= base + 2)) && break
  sleep 0.1
done
asked=$(writes_890 | wc -l)
sc_exe stop "$service" | grep STATE
query=$(wait_state STOPPED "$(limit 20)")
"$SIMPORT" --file "$state" drop >/dev/null
expect_match "stopped" "$query" 'STATE *: *1 '
expect_match "stopped without a failure" "$query" 'WIN32_EXIT_CODE *: *0 '
mapfile -t writes < <(writes_890 | tail -n +$((base + 1)))
echo "answer writes: ${#writes[@]}, $((asked - base)) of them before the stop was asked"
# Whole answers only, however many ran.
((${#writes[@]} >= 4 && ${#writes[@]} % 4 == 0)) ||
  fail "the stop cut an answer: ${#writes[@]} writes (${writes[*]})"
expect_equal "the answer line after the stop" "${writes[-1]:-none}" 0x01
expect_match "the control register after the stop" "$("$SIMPORT" --file "$state" status)" 'control +0x01'
grep -q 'trace:eventlog:ReportEventW L"Stopped"' "$services_err" || fail "no entry for the stop in the event log"

echo "the service's own SID and privileges"
sid_and_privileges=$(timeout "$(limit 60)" "$WINE" "$WINDOWS_TEST_PROGRAMS/service_probe.exe" sid-and-privileges \
  "$service" 2>/dev/null | tr -d '\r')
echo "$sid_and_privileges"
if grep -q '^unknown [56] error 124$' <<<"$sid_and_privileges"; then
  echo "NOTE: Wine's manager keeps no service SID or required privileges (ERROR_INVALID_LEVEL); sc qsidtype and sc qprivs show them on Windows"
else
  expect_equal "service SID and privileges" "$sid_and_privileges" $'sid-type 1\nprivilege SeChangeNotifyPrivilege'
fi

echo "recovery settings"
recovery=$(timeout "$(limit 60)" "$WINE" "$WINDOWS_TEST_PROGRAMS/service_probe.exe" recovery "$service" 2>/dev/null |
  tr -d '\r')
echo "$recovery"
if grep -q '^unknown 2 error 124$' <<<"$recovery"; then
  echo "NOTE: Wine's manager keeps no failure actions (ERROR_INVALID_LEVEL); check_service_recovery.sh reads what the installer asks for"
else
  expect_equal "failure actions" "$(grep -v '^non-crash' <<<"$recovery")" \
    $'reset 86400\naction restart 5000\naction restart 5000\naction restart 5000'
  expect_equal "failure actions on an error exit" "$(grep '^non-crash' <<<"$recovery")" "non-crash-failures 1"
fi

echo "uninstalling"
rm -f "$program_folder/inpout32.dll"
read_log_in "$data_folder"
logged=$log
printf '@"%s\\Uninstall.exe" /S _?=%s\r\n' 'C:\Program Files\Quorvane' 'C:\Program Files\Quorvane' >"$RUN_FOLDER/uninstall.bat"
timeout "$(limit 120)" "$WINE" cmd /c "Z:${RUN_FOLDER//\//\\}\\uninstall.bat"
expect_equal "uninstaller's exit status" "$?" 0
[[ -z $(sc_exe query "$service" | grep STATE) ]] || fail "the service is left"
reg_key_exists "$event_source_key" && fail "the event source is left"
[[ -e $program_folder/quorvane-service.exe ]] && fail "quorvane-service.exe is left"
read_log_in "$data_folder"
expect_equal "restart log after uninstalling" "$log" "$logged"
finish
