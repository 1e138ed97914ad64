#!/usr/bin/env bash
# Two copies of Quorvane.exe under Wine, as the all-users Startup shortcut
# starts one in every session: the second ends at its first port access
# with a message box saying another copy holds the port, naming the account
# it runs as, the same line on
# standard error and status 1, before it writes the log; the first goes on.
# A first copy that was killed leaves the port free for the next.
source "$(dirname "$0")/wine_run.sh"

lay_out_run answering
start_program
first_pid=$program_pid
description=$(probe describe "$(limit 30)")
expect_equal "first copy's window" "$(grep -m1 '^caption' <<<"$description")" "caption Quorvane - Tamsel"
read_log
first_log=$log

(cd "$work" && exec "$WINE" ../bin/Quorvane.exe >"$RUN_FOLDER/second.out" 2>"$RUN_FOLDER/second.err") &
program_pid=$!
box=$(probe dismiss-box "$(limit 30)")
echo "$box"
# The mark's holder is named (any user may read who made it), and the
# message allows that the name was taken by another program of that account.
expected="he parallel port at 888 is held by another program: another copy of Quorvane runs as [^ ]+, or a program of that account took the name of Quorvane's mark \\(Global\\\\Quorvane parallel port 888\\)$"
expect_match "box" "$(grep -m1 '^box ' <<<"$box")" "^box T$expected"
wait_program "$(limit 20)"
expect_equal "second copy's exit status" "$program_status" 1
expect_match "second copy's standard error" "$(tr -d '\r' <"$RUN_FOLDER/second.err")" "^quorvane: t$expected"
read_log
expect_equal "log" "$log" "$first_log"
kill -0 "$first_pid" 2>/dev/null || fail "the first copy ended"

# Killed outright: the system closes its mark with it.
kill -KILL "$first_pid"
wait "$first_pid" 2>/dev/null
start_program
description=$(probe describe "$(limit 30)")
expect_equal "next copy's window" "$(grep -m1 '^caption' <<<"$description")" "caption Quorvane - Tamsel"
probe close >/dev/null
wait_program "$(limit 20)"
expect_equal "next copy's exit status" "$program_status" 0
finish
