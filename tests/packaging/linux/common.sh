# Shared by the packaging checks: failures are counted and reported, and the
# test ends with status 1 when there was one. STAGE is the staging folder
# (the tree installed under /usr), DEB_FOLDER the package's folder.
set -euo pipefail

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
ok() { echo "ok: $*"; }
finish() {
  if ((failures)); then
    echo "$failures check(s) failed"
    exit 1
  fi
  exit 0
}
need() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
  done
}

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)

# The paths the package must hold, one a line, from installed_files.txt.
expected_files() { sed "s/{multiarch}/$multiarch/" "$EXPECTED_FILES"; }

# A scratch folder for this test, removed when it ends.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-packaging.XXXXXX")
cleanups=()
cleanup() {
  local step
  for step in "${cleanups[@]}"; do eval "$step" || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
  local seconds=$1
  shift
  local deadline=$((SECONDS + seconds))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
}

# Stops a process we started and reaps it, within a bounded time.
stop_process() {
  local pid=$1
  kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null || true; return 0; }
  kill -TERM "$pid" 2>/dev/null || true
  wait_for 5 bash -c "! kill -0 $pid 2>/dev/null" || kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# The restart log's line: MM-DD-YYYY hh:mm:ss, CR LF.
log_line=$'^[0-1][0-9]-[0-3][0-9]-20[0-9]{2} [0-2][0-9]:[0-5][0-9]:[0-5][0-9]\r$'

# Whether $1 holds exactly one restart log line.
one_log_line() {
  local lines
  [[ -f $1 && $(stat -c %s "$1") -eq 21 ]] || return 1
  mapfile -t lines <"$1"
  [[ ${#lines[@]} -eq 1 && ${lines[0]} =~ $log_line ]]
}
