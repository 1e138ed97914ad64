#!/usr/bin/env bash
# Quorvane.exe under Wine with the simulated inpout32.dll beside it, and the
# Linux supervisor simulator on the same state file (a Wine process and a
# Linux one map the very same file): a raised request is answered 0, 1, 0, 1
# a second apart and ends at 1; with every status bit but the request bit
# raised (0xEF) nothing is answered. The first access of the run is the
# write of 1 to port 890. SUPERVISOR and SIMPORT name the Linux tools,
# SIMULATED_DLL the Windows library.
source "$(dirname "$0")/wine_run.sh"

lay_out_run none
cp "$SIMULATED_DLL" "$bin/"
state=$RUN_FOLDER/simulated-port
# The same file by its Windows name: Wine's drive Z: is the root.
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
start_program

# Wine stamps the accesses on CLOCK_MONOTONIC_RAW, which drifts from Linux's
# CLOCK_MONOTONIC with the machine's uptime (150 to 300 ms seen here): the
# supervisor reads them onto its own clock (--wine) and judges the answer
# with its usual limits. The steps' spacing is checked on the program's own
# stamps below as well.
"$SUPERVISOR" --file "$state" --wait-poll --late 2.5 --deadline 6 --wine once \
  >"$RUN_FOLDER/once.txt" 2>&1
expect_equal "supervisor, one request" "$?" 0
cat "$RUN_FOLDER/once.txt"
"$SUPERVISOR" --file "$state" --wine --status 0xEF idle 4 >"$RUN_FOLDER/idle.txt" 2>&1
expect_equal "supervisor, status 0xEF" "$?" 0
tail -3 "$RUN_FOLDER/idle.txt"

# The answer's writes as the program stamped them: 0, 1, 0, 1 on port 890,
# each a second after the one before (within 50 ms, as on Linux: a busy
# machine may take the busy wait off its core for a while).
writes=$("$SIMPORT" --file "$state" watch --from-start --seconds 1 | grep ' W  890' | sed -n '2,5p')
echo "$writes"
mapfile -t steps < <(awk '{print $2}' <<<"$writes")
mapfile -t values < <(awk '{print $NF}' <<<"$writes")
expect_equal "answer values" "${values[*]}" "0x00 0x01 0x00 0x01"
for i in 1 2 3; do
  awk -v s="${steps[i]:-+0}" 'BEGIN { s = substr(s, 2) + 0; exit !(s >= 0.95 && s <= 1.05) }' ||
    fail "step $i: ${steps[i]:-none} s, expected 1.000 +- 0.050 s"
done

first=$("$SIMPORT" --file "$state" watch --from-start --count 1 --seconds 2 | tail -1)
expect_match "first access" "$first" 'W +890 control +0x01$'

read_log
stamp='[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2}'
expect_match "restart log" "$log" "^${earlier_log}${stamp}"$'\r\n''$'
finish
