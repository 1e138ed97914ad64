# Helpers for the Windows program's tests under Wine, sourced by each test
# script, which runs inside with_wine.sh. The environment names the builds:
#   QUORVANE_EXE          the program, Quorvane.exe
#   WINDOWS_TEST_PROGRAMS the folder of the probe and the port libraries
#   RUN_FOLDER            a folder of this test's own, emptied first
# A run lays out RUN_FOLDER/bin (the program, the probe and, when asked, a
# port library beside them) and RUN_FOLDER/work, its working folder, which
# holds an earlier restart log.
set -u

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
expect_equal() {  # WHAT ACTUAL EXPECTED
  [[ $2 == "$3" ]] || fail "$1: got '$2', expected '$3'"
}
expect_match() {  # WHAT ACTUAL REGEX
  [[ $2 =~ $3 ]] || fail "$1: got '$2', expected it to match '$3'"
}
finish() {
  if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "all checks passed"
  exit 0
}

# A limit of SECONDS for a Windows program to start or react, widened where
# Wine runs under emulation (with_wine.sh sets WINE_TIME_FACTOR).
limit() { echo $(($1 * ${WINE_TIME_FACTOR:-1})); }

bin=$RUN_FOLDER/bin
work=$RUN_FOLDER/work
earlier_log=$'01-02-2003 04:05:06\r\n'
program_pid=

# Lays out a run with the port library of that kind beside the program
# ("answering", "closed"), or none ("none").
lay_out_run() {
  rm -rf "$RUN_FOLDER"
  mkdir -p "$bin" "$work"
  cp "$QUORVANE_EXE" "$WINDOWS_TEST_PROGRAMS/window_probe.exe" "$bin/"
  [[ $1 == none ]] || cp "$WINDOWS_TEST_PROGRAMS/$1/inpout32.dll" "$bin/"
  printf '%s' "$earlier_log" >"$work/Quorvane.log"
}

probe() { "$WINE" "$bin/window_probe.exe" "$@" 2>/dev/null; }

# Starts the program in its working folder, in the background; its output
# goes to RUN_FOLDER/std.out and std.err.
start_program() {
  (cd "$work" && exec "$WINE" ../bin/Quorvane.exe >"$RUN_FOLDER/std.out" 2>"$RUN_FOLDER/std.err") &
  program_pid=$!
}

# Waits up to SECONDS for the program to end; sets program_status (or
# "running" when it did not end, after ending it).
wait_program() {
  local tenths=$(($1 * 10))
  while ((tenths-- > 0)) && kill -0 "$program_pid" 2>/dev/null; do sleep 0.1; done
  if kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null
    wait "$program_pid" 2>/dev/null
    program_status=running
  else
    wait "$program_pid"
    program_status=$?
  fi
  program_pid=
}

# Sets `log` to the log's exact bytes (its last line end kept, which $(...)
# would drop), or "missing".
read_log() {
  [[ -f $work/Quorvane.log ]] || { log=missing; return; }
  log=$(cat "$work/Quorvane.log"; echo .)
  log=${log%.}
}
