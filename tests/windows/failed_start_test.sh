#!/usr/bin/env bash
# A start of Quorvane.exe under Wine that cannot succeed ends with a message
# box naming the failure, before any window shows; the same "quorvane: ..."
# line on standard error; exit status 1 once the box is dismissed with
# Enter; and the earlier log unchanged.
#
# With log-is-a-link, the log's name is a link to a folder (which Wine
# shows as a reparse point): refused, and nothing lands behind it.
# With planted-library, an inpout32.dll that any user could have put in
# the working folder and in a folder on PATH, but none beside the program:
# it is never loaded (its code would leave a mark) and the message says
# where the program looked.
# With bad-port-setting, HKLM\SOFTWARE\Quorvane\PortBase holds no port's
# base: the message names the value, says why, and how to choose a port;
# the value goes when the test ends.
#
# usage: failed_start_test.sh missing-library|planted-library|log-is-a-link|closed-driver|read-only-folder|bad-port-setting
source "$(dirname "$0")/wine_run.sh"

looked_in="from the program's folder [A-Z]:.*\\\\bin or the system folder [A-Za-z]:\\\\windows\\\\system32 \\(the working folder and PATH are not searched\\): .+"

case ${1:-} in
  missing-library)
    lay_out_run none
    expected="Cannot load the port library inpout32.dll $looked_in"
    ;;
  planted-library)
    lay_out_run none
    planted=$RUN_FOLDER/on-path
    mkdir -p "$planted"
    cp "$WINDOWS_TEST_PROGRAMS/planted/inpout32.dll" "$work/"
    cp "$WINDOWS_TEST_PROGRAMS/planted/inpout32.dll" "$planted/"
    # Wine puts WINEPATH at the head of the program's PATH.
    export WINEPATH="Z:${planted//\//\\}"
    expected="Cannot load the port library inpout32.dll $looked_in"
    ;;
  log-is-a-link)
    lay_out_run answering
    rm "$work/Quorvane.log"
    mkdir "$RUN_FOLDER/victim-folder"
    ln -s ../victim-folder "$work/Quorvane.log"
    expected="The restart log .*Quorvane\\.log is a link \\(a reparse point\\), not a file: refused, so that no other file is written"
    ;;
  closed-driver)
    lay_out_run closed
    expected="The port library inpout32.dll cannot reach the parallel port: no parallel port at 0x378 \(found: parport0 at 0x3bc\)"
    ;;
  read-only-folder)
    lay_out_run answering
    # Root may write anywhere a mode forbids; an immutable folder and log
    # it may not.
    if ((EUID == 0)); then
      chattr +i "$work/Quorvane.log" "$work" 2>/dev/null ||
        { echo "SKIP: this file system cannot make the folder immutable"; exit 77; }
      trap 'chattr -i "$work" "$work/Quorvane.log" 2>/dev/null' EXIT
    else
      chmod 0444 "$work/Quorvane.log"
      chmod 0555 "$work"
      trap 'chmod 0755 "$work"' EXIT
    fi
    expected=".*Quorvane\.log.*"
    ;;
  bad-port-setting)
    lay_out_run answering
    setting=('HKLM\SOFTWARE\Quorvane' /v PortBase)
    trap 'timeout "$(limit 60)" "$WINE" reg delete "${setting[@]}" /f >/dev/null 2>&1' EXIT
    trap 'exit 143' TERM
    timeout "$(limit 60)" "$WINE" reg add "${setting[@]}" /t REG_SZ /d 0x37b /f >/dev/null 2>&1 ||
      { echo "cannot set the port setting"; exit 1; }
    expected="HKLM\\\\SOFTWARE\\\\Quorvane\\\\PortBase names no port: \"0x37b\" is not a port's base: a base is a multiple of 4 .*; this machine has no parallel port .*; choose one with the installer \\(or its /PORT=0x378 when silent\\), which sets PortBase under HKLM\\\\SOFTWARE\\\\Quorvane"
    ;;
  *)
    echo "usage: $0 missing-library|planted-library|log-is-a-link|closed-driver|read-only-folder|bad-port-setting"
    exit 2
    ;;
esac

start_program
box=$(probe dismiss-box "$(limit 30)")
echo "$box"
expect_match "box" "$(grep -m1 '^box ' <<<"$box")" "^box $expected\$"
expect_equal "window shown behind the box" "$(grep -m1 '^window visible' <<<"$box")" "window visible 0"
expect_equal "box dismissed by Enter" "$(tail -n1 <<<"$box")" "dismissed"
wait_program "$(limit 20)"
expect_equal "exit status" "$program_status" 1

error=$(tr -d '\r' <"$RUN_FOLDER/std.err")
message=$(grep -m1 '^box ' <<<"$box" | sed 's/^box //')
# (The box starts with a capital, the line with the message as it is.)
if [[ $1 == bad-port-setting ]]; then
  expect_equal "standard error" "$error" "quorvane: $message"
else
  expect_equal "standard error" "$error" "quorvane: ${message,}"
fi
if [[ $1 == log-is-a-link ]]; then
  expect_equal "behind the link" "$(ls -A "$RUN_FOLDER/victim-folder")" ""
else
  read_log
  expect_equal "log" "$log" "$earlier_log"
fi
if [[ $1 == planted-library ]]; then
  for folder in "$work" "$planted"; do
    [[ -e $folder/planted-dll-ran ]] && fail "the planted inpout32.dll ran (a mark in $folder)"
  done
  # The planted library does run where it is loaded: the check above can fail.
  (cd "$planted" && probe load-library ".\\inpout32.dll")
  [[ -e $planted/planted-dll-ran ]] || fail "the planted inpout32.dll leaves no mark even when loaded"
fi
finish
