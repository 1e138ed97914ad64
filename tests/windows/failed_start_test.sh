#!/usr/bin/env bash
# A start of Quorvane.exe under Wine that cannot succeed ends with a message
# box naming the failure, before any window shows; the same "quorvane: ..."
# line on standard error; exit status 1 once the box is dismissed with
# Enter; and the earlier log unchanged.
#
# usage: failed_start_test.sh missing-library|closed-driver|read-only-folder
source "$(dirname "$0")/wine_run.sh"

case ${1:-} in
  missing-library)
    lay_out_run none
    expected="Cannot load the port library inpout32.dll: .+"
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
  *)
    echo "usage: $0 missing-library|closed-driver|read-only-folder"
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
expect_equal "standard error" "$error" "quorvane: ${message,}"
read_log
expect_equal "log" "$log" "$earlier_log"
finish
