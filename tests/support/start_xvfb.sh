# Sourced by every script that needs a virtual X server of its own: the
# end-to-end and Wine tests, the demo, the screenshots and the benchmark.
#
# start_xvfb [--own-session] [XVFB OPTIONS...]
#   Starts Xvfb, which picks a free display number itself (-displayfd), so
#   runs alongside never share one and one still shutting down cannot take
#   our socket with it; -noreset keeps it from resetting, and refusing
#   connections, when its last client leaves. Sets `xvfb_pid` and exports
#   DISPLAY; returns 1, with the server ended, when it did not come up
#   within 10 s. The caller ends the server (stop_xvfb, or kill "$xvfb_pid"
#   and remove "$xvfb_auth_folder").
#   --own-session starts it in a session of its own, so that a Ctrl-C to the
#   caller's process group leaves it to the caller to end, after its
#   clients.
#
#   The server takes only clients that show its key, a cookie of 128 random
#   bits (as xvfb-run makes one): without it any local user could connect
#   to the server, see the window, type into it or close it. The key is in
#   $xvfb_auth_folder (mode 0700), the clients' copy exported as XAUTHORITY;
#   another user is let in only by handing it a copy.
start_xvfb() {
  local number_file number session=() cookie
  if [[ ${1:-} == --own-session ]]; then
    session=(setsid)
    shift
  fi
  xvfb_pid=
  xvfb_auth_folder=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-xauth.XXXXXX") || return 1
  cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
  : >"$xvfb_auth_folder/server"
  : >"$xvfb_auth_folder/client"
  # The server reads every cookie in its file whatever display it is filed
  # under; the clients' file names the display, known once it is up.
  if [[ ${#cookie} -ne 32 ]] || ! xauth -q -f "$xvfb_auth_folder/server" add :0 . "$cookie"; then
    echo "cannot make a key for the virtual X server (is xauth installed?)"
    rm -rf "$xvfb_auth_folder"
    return 1
  fi
  number_file=$xvfb_auth_folder/display
  "${session[@]}" Xvfb -displayfd 3 -auth "$xvfb_auth_folder/server" -screen 0 1024x768x24 -nolisten tcp \
    -noreset "$@" 3>"$number_file" </dev/null >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [[ -s $number_file ]] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1 || true
  done
  number=$(tr -d '\n' <"$number_file")
  if [[ -z $number ]] || ! xauth -q -f "$xvfb_auth_folder/client" add ":$number" . "$cookie"; then
    echo "the virtual X server did not start"
    stop_xvfb
    return 1
  fi
  export DISPLAY=:$number XAUTHORITY=$xvfb_auth_folder/client
}

# Ends the server started by start_xvfb, waits for it, and removes its key.
stop_xvfb() {
  if [[ -n ${xvfb_pid:-} ]]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  [[ -n ${xvfb_auth_folder:-} ]] && rm -rf "$xvfb_auth_folder"
  xvfb_pid= xvfb_auth_folder=
}
