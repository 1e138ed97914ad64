# Sourced by every script that needs a virtual X server of its own: the
# end-to-end and Wine tests, the demo, the screenshots and the benchmark.
#
# start_xvfb [--own-session] [XVFB OPTIONS...]
#   Starts Xvfb, which picks a free display number itself (-displayfd), so
#   runs alongside never share one and one still shutting down cannot take
#   our socket with it; -noreset keeps it from resetting, and refusing
#   connections, when its last client leaves. Sets `xvfb_pid` and exports
#   DISPLAY; returns 1, with the server ended, when it did not come up
#   within 10 s. The caller ends the server (kill "$xvfb_pid").
#   --own-session starts it in a session of its own, so that a Ctrl-C to the
#   caller's process group leaves it to the caller to end, after its
#   clients.
start_xvfb() {
  local number_file number session=()
  if [[ ${1:-} == --own-session ]]; then
    session=(setsid)
    shift
  fi
  number_file=$(mktemp)
  "${session[@]}" Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "$@" \
    3>"$number_file" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $number_file ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1 || true
  done
  number=$(tr -d '\n' <"$number_file")
  rm -f "$number_file"
  if [[ -z $number ]]; then
    echo "the virtual X server did not start"
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=
    return 1
  fi
  export DISPLAY=:$number
}
