#!/usr/bin/env bash
# Quorvane.exe under Wine with a port library that always reads the request
# raised: its window's caption, client area, controls, icon and texts at 96
# DPI; one CR LF line appended to the log of its working folder; OK and
# Enter minimise it, also while it answers; closing it ends it with status 0
# and nothing more written.
source "$(dirname "$0")/wine_run.sh"

lay_out_run answering
start_program

description=$(probe describe "$(limit 30)")
echo "$description"
line() { grep -m1 "^$1" <<<"$description"; }
expect_equal caption "$(line caption)" "caption Quorvane - Tamsel"
expect_equal "client area (4680 x 1635 twips at 15 twips a pixel)" "$(line client)" "client 312 x 109"
expect_equal "screen" "$(line 'screen dpi')" "screen dpi 96"

# In tab order, with their boxes (left top width height, twips / 15).
stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}'
mapfile -t controls < <(grep '^control' <<<"$description")
expected=(
  "control 100 label 56 32 193 33 tabstop=0 default=0 text=(Active\.\.\.|Waiting for Request\.\.\.|Sending Sequence\.\.\.)"
  "control 101 label 56 16 41 17 tabstop=0 default=0 text=Status"
  "control 102 button 256 88 49 17 tabstop=1 default=1 text=OK"
  "control 103 label 8 88 65 17 tabstop=0 default=0 text=Last Restart:"
  "control 104 label 72 88 113 17 tabstop=0 default=0 text=$stamp"
  "control 105 label 80 72 49 17 tabstop=0 default=0 text=([0-9]{2}:[0-9]{2}:[0-9]{2})?"
  "control 106 label 8 72 73 17 tabstop=0 default=0 text=Last Request:"
)
expect_equal "number of controls" "${#controls[@]}" "${#expected[@]}"
for i in "${!expected[@]}"; do
  expect_match "control $i" "${controls[i]:-none}" "^${expected[i]}\$"
done

icons=$(probe icons "$bin/Quorvane.exe")
expect_equal "icon images" "$icons" $'icon 32x32 colours 16 bits 4\nicon 16x16 colours 16 bits 4'

# The earlier log kept, one stamp appended, ended by CR LF.
read_log
expect_match "restart log" "$log" "^${earlier_log}${stamp}"$'\r\n''$'
[[ -e $bin/Quorvane.log ]] && fail "a log was written in the program's own folder"

# OK minimises it (after the answer under way, if any); so does Enter.
expect_match "OK" "$(probe click-ok "$(limit 20)")" "^minimised after"
expect_equal "restore" "$(probe restore "$(limit 20)")" "restored"
expect_match "Enter" "$(probe press-enter "$(limit 20)")" "^minimised after"

# Closing ends it, with nothing more in the log.
read_log
log_before_closing=$log
expect_equal close "$(probe close)" "asked to close"
wait_program "$(limit 20)"
expect_equal "exit status after closing" "$program_status" 0
read_log
expect_equal "log after closing" "$log" "$log_before_closing"
expect_equal "standard error" "$(cat "$RUN_FOLDER/std.err")" ""
finish
