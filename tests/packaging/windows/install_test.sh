#!/usr/bin/env bash
# The installer run silently under Wine, as an administrator installs it.
# First with the data folder's name taken by a link to another folder (as a
# user could make it before the install; Wine shows it as a reparse point):
# refused, nothing installed, nothing put behind the link. Then with the
# data folder made before and a folder planted where the service's log
# belongs: installed, that folder moved aside and the data folder made anew,
# empty. Then as usual
# (silent without /SERVICE: the window at every logon): Quorvane.exe, the
# service's program and the README under Program Files and nothing else (no
# inpout32.dll, no bench folder), the data folder, no service registered,
# and the Start menu and Startup shortcuts, both starting the program in
# the local application data folder of whoever logs on. The program
# started as the Startup shortcut says, with the simulated inpout32.dll
# from the ZIP's bench folder placed beside it, writes one log line in that
# user's folder and answers the Linux supervisor. The silent uninstaller then removes the
# program and the shortcuts and keeps the log.
# Runs inside with_wine.sh; the environment names:
#   PACKAGES     the folder of the installer and the ZIP (pack.sh)
#   PYTHON       Python 3, which reads the ZIP and runs SHELL_LINK
#   SHELL_LINK   shell_link.py
#   SUPERVISOR, SIMPORT  the Linux bench tools
#   RUN_FOLDER   a folder of this test's own
source "$(dirname "$0")/../../windows/wine_run.sh"
# Wine would make Linux menu entries for the shortcuts.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
installer=$(ls "$PACKAGES"/*.exe)
zip=$(ls "$PACKAGES"/*.zip)

drive_c=$WINEPREFIX/drive_c
linux_path() {  # C:\A\B -> the prefix's drive_c/A/B
  local path=${1#[Cc]:}
  printf '%s' "$drive_c${path//\\//}"
}
program_folder='C:\Program Files\Quorvane'
data_folder='C:\ProgramData\Quorvane'
programs='C:\ProgramData\Microsoft\Windows\Start Menu\Programs'
start_menu_link="$programs\\Quorvane\\Quorvane.lnk"
startup_link="$programs\\StartUp\\Quorvane.lnk"

# What an earlier run of this test may have left in the prefix.
rm -rf "$(linux_path "$program_folder")" "$(linux_path "$data_folder")" "$(linux_path "$data_folder").moved-aside-"* \
  "$(linux_path "$programs\\Quorvane")" "$(linux_path "$startup_link")" "$RUN_FOLDER"
mkdir -p "$RUN_FOLDER"
# A port setting would move the program off the port the supervisor drives.
timeout "$(limit 60)" "$WINE" reg delete 'HKLM\SOFTWARE\Quorvane' /v PortBase /f >/dev/null 2>&1

echo "installing $(basename "$installer") where the data folder is a link"
mkdir -p "$RUN_FOLDER/elsewhere" "$(dirname "$(linux_path "$data_folder")")"
ln -s "$RUN_FOLDER/elsewhere" "$(linux_path "$data_folder")"
timeout "$(limit 120)" "$WINE" "$installer" /S
status=$?
((status != 0 && status != 124)) || fail "installer's exit status with the data folder a link: $status, expected a refusal"
[[ -e $(linux_path "$program_folder") ]] && fail "installed although the data folder is a link"
expect_equal "behind the link" "$(ls -A "$RUN_FOLDER/elsewhere")" ""
rm -f "$(linux_path "$data_folder")"

# Made before the install by somebody else, with a folder where the
# service's log belongs (which would fail its every start): moved aside,
# and the data folder made anew, empty.
mkdir -p "$(linux_path "$data_folder")/Quorvane.log"
echo "installing $(basename "$installer") where the data folder was made before, a folder planted in it"
timeout "$(limit 120)" "$WINE" "$installer" /S
expect_equal "installer's exit status" "$?" 0
[[ -d $(linux_path "$data_folder").moved-aside-1/Quorvane.log ]] || fail "the planted folder was not moved aside"
expect_equal "the data folder made anew" "$(ls -A "$(linux_path "$data_folder")")" ""

installed=$(cd "$(linux_path "$program_folder")" 2>/dev/null && find . -mindepth 1 | LC_ALL=C sort)
echo "installed in $program_folder:" $installed
expect_equal "installed files" "$installed" \
  $'./Quorvane.exe\n./README.txt\n./Uninstall.exe\n./quorvane-porttest.exe\n./quorvane-service.exe'
[[ -d $(linux_path "$data_folder") && ! -L $(linux_path "$data_folder") ]] || fail "no data folder $data_folder"
# (Wine keeps no folder rights: the rights themselves are taken apart by
# service_rights_tests, and the installer's script is checked by
# check_data_folder_rights.sh.)
"$WINE" reg query 'HKLM\System\CurrentControlSet\Services\Quorvane' >/dev/null 2>&1 &&
  fail "a service registered by an install for the window"

for link in "$start_menu_link" "$startup_link"; do
  fields=$("$PYTHON" "$SHELL_LINK" "$(linux_path "$link")")
  echo "$link:" $'\n'"$fields"
  expect_equal "$link, target" "$(grep '^target: ' <<<"$fields")" "target: $program_folder\\Quorvane.exe"
  expect_equal "$link, working folder" "$(grep '^working-folder: ' <<<"$fields")" \
    "working-folder: %LOCALAPPDATA%"
done

# Started as the Startup shortcut starts it: its target, in its folder.
startup_fields=$("$PYTHON" "$SHELL_LINK" "$(linux_path "$startup_link")")
target=$(sed -n 's/^target: //p' <<<"$startup_fields")
# Windows expands the variable as it starts the program, for the user
# logging on.
user_folder=$("$WINE" cmd /c "echo $(sed -n 's/^working-folder: //p' <<<"$startup_fields")" 2>/dev/null | tr -d '\r')
echo "the shortcut starts the program in $user_folder"
[[ $user_folder == [A-Za-z]:\\* ]] || fail "the shortcut's working folder expands to '$user_folder'"
start_in=$(linux_path "$user_folder")
work=$start_in  # where the log is read
rm -f "$work/Quorvane.log"
"$PYTHON" -m zipfile -e "$zip" "$RUN_FOLDER/unpacked"
placed_library=$(linux_path "$program_folder")/inpout32.dll
cp "$RUN_FOLDER"/unpacked/*/bench/inpout32.dll "$placed_library"
state=$RUN_FOLDER/simulated-port
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
(cd "$start_in" && exec "$WINE" "$target" >"$RUN_FOLDER/std.out" 2>"$RUN_FOLDER/std.err") &
program_pid=$!

# The program's stamps are on Wine's clock, read onto the supervisor's
# (--wine), as in the Windows program's own answer test.
"$SUPERVISOR" --file "$state" --wait-poll --late 2.5 --deadline 6 --wine once \
  >"$RUN_FOLDER/once.txt" 2>&1
expect_equal "supervisor, one request" "$?" 0
cat "$RUN_FOLDER/once.txt"
values=$("$SIMPORT" --file "$state" watch --from-start --seconds 1 | grep ' W  890' |
  sed -n '2,5p' | awk '{print $NF}' | tr '\n' ' ')
expect_equal "answer values" "$values" "0x00 0x01 0x00 0x01 "

read_log
stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}'
printf 'log in %s: %q\n' "$user_folder" "$log"
expect_match "restart log in the user's folder" "$log" "^${stamp}"$'\r\n''$'
[[ -e $(linux_path "$data_folder")/Quorvane.log ]] && fail "a log in the data folder, which users may not write"
wait_program 0
rm -f "$placed_library"
logged=$log

# _?= keeps the uninstaller in place, so that it runs to its end before
# Wine returns; it must come last on the command line, unquoted, which only
# a batch file gives a path with a space.
printf '@"%s\\Uninstall.exe" /S _?=%s\r\n' "$program_folder" "$program_folder" >"$RUN_FOLDER/uninstall.bat"
timeout "$(limit 120)" "$WINE" cmd /c "Z:${RUN_FOLDER//\//\\}\\uninstall.bat"
expect_equal "uninstaller's exit status" "$?" 0
left=$(cd "$(linux_path "$program_folder")" 2>/dev/null && find . -mindepth 1 | sort)
echo "left in $program_folder:" $left
# (The uninstaller run in place cannot remove itself.)
expect_equal "left in the program's folder" "$left" "./Uninstall.exe"
for link in "$start_menu_link" "$startup_link"; do
  [[ -e $(linux_path "$link") ]] && fail "$link is left"
done
[[ -e $(linux_path "$programs\\Quorvane") ]] && fail "the Start menu folder is left"
read_log
expect_equal "restart log after uninstalling" "$log" "$logged"
finish
