#!/usr/bin/env bash
# Quorvane.exe under Wine answering a request held up for 12 s, answers back
# to back: the answer's waits sleep on a waitable timer, so the program's
# Wine process (all its threads) takes under a tenth of a core over 10 s of
# it (a busy wait took a whole one), and the Linux supervisor judges every
# answer well formed. A generous bound, not a timing figure: the benchmark
# (run.sh --wine) measures those. SUPERVISOR names the Linux supervisor,
# SIMULATED_DLL the Windows library.
source "$(dirname "$0")/wine_run.sh"

# The scheduler's CPU time of every thread of a process, in ns.
scheduled_ns() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d\n", sum }'
}

lay_out_run none
cp "$SIMULATED_DLL" "$bin/"
state=$RUN_FOLDER/simulated-port
export QUORVANE_SIMULATED_PORT="Z:${state//\//\\}"
start_program
[[ -r /proc/$program_pid/schedstat ]] || { echo "SKIP: no /proc/<pid>/schedstat here"; exit 77; }

# As in answer_test.sh: Wine's stamps read onto Linux's clock, its limits.
"$SUPERVISOR" --file "$state" --wait-poll --late 2.5 --deadline 6 --wine hold 12 \
  >"$RUN_FOLDER/hold.txt" 2>&1 &
supervisor=$!
# The first answer under way, then ten seconds of answers.
sleep "$(limit 3)"
cpu0=$(scheduled_ns "$program_pid") t0=$(date +%s%N)
sleep 10
cpu1=$(scheduled_ns "$program_pid") t1=$(date +%s%N)
wait "$supervisor"
expect_equal "supervisor, held request" "$?" 0
tail -3 "$RUN_FOLDER/hold.txt"
share=$(awk -v c=$((cpu1 - cpu0)) -v t=$((t1 - t0)) 'BEGIN { printf "%.1f", c / t * 100 }')
echo "Quorvane.exe during the held request: $share % of a core"
awk -v s="$share" 'BEGIN { exit !(s < 10) }' || fail "the held request took $share % of a core, expected under 10 %"
answers=$(grep -c ' OK ' "$RUN_FOLDER/hold.txt")
((answers >= 2)) || fail "only $answers answer(s) judged ok in 12 s of a held request"
finish
