#!/usr/bin/env bash
# The benchmark's minimal Windows program, the floor it runs beside
# Quorvane.exe under Wine, on the simulated inpout32.dll: it starts and
# reads the status port once a second, a tick a period (no tick run twice),
# and writes nothing. Without inpout32.dll beside it,
# it ends at once with status 1 and a line naming the library, rather than
# running without ticks the benchmark could see. BENCH_MINIMAL_EXE names it,
# SIMPORT and SIMULATED_DLL the simulated port's tool and library.
source "$(dirname "$0")/wine_run.sh"

rm -rf "$RUN_FOLDER"
mkdir -p "$bin" "$work"
cp "$BENCH_MINIMAL_EXE" "$SIMULATED_DLL" "$bin/"
state=$RUN_FOLDER/simulated-port
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
start_minimal() {
  (cd "$work" && exec "$WINE" ../bin/quorvane-bench-minimal-win32.exe >"$RUN_FOLDER/std.out" \
    2>"$RUN_FOLDER/std.err") &
  program_pid=$!
}

start_minimal
# Its first poll, then five periods more.
"$SIMPORT" --file "$state" watch --from-start --count 1 --seconds "$(limit 30)" >/dev/null
sleep 5.5
accesses=$("$SIMPORT" --file "$state" watch --from-start --seconds 1 | grep -E ' [RW] +[0-9]+ ')
echo "$accesses"
polls=$(grep -cE ' R +889 ' <<<"$accesses")
((polls >= 6)) || fail "polls: $polls in 5.5 s after the first, expected at least 6"
expect_equal "accesses other than a read of port 889" "$(grep -vcE ' R +889 ' <<<"$accesses")" 0
# Each period a second, within what a loaded machine under emulation may
# delay one tick. The first comes short when a slow start delayed the first
# tick: the deadlines lie on whole periods from the timer's start.
mapfile -t gaps < <(sed -n '3,6p' <<<"$accesses" | awk '{print substr($2, 2)}')
for i in "${!gaps[@]}"; do
  awk -v s="${gaps[i]}" 'BEGIN { exit !(s >= 0.5 && s <= 1.5) }' ||
    fail "period $((i + 2)): ${gaps[i]} s, expected 1 s (0.5 to 1.5)"
done
kill "$program_pid" 2>/dev/null
wait_program 10
expect_equal "standard error" "$(cat "$RUN_FOLDER/std.err")" ""

rm "$bin/inpout32.dll"
start_minimal
wait_program "$(limit 30)"
expect_equal "exit status without inpout32.dll" "$program_status" 1
expect_match "standard error without inpout32.dll" "$(cat "$RUN_FOLDER/std.err")" \
  "^quorvane-bench-minimal-win32: .*inpout32\.dll"
finish
