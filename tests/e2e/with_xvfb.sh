#!/usr/bin/env bash
# Runs a command on a virtual X server of its own, then stops the server and
# waits for it to be gone. The server picks a free display number itself
# (-displayfd), so runs alongside never share one, and one that is still
# shutting down cannot take our socket with it. -noreset: by default the
# server resets when its last client leaves, and refuses connections
# meanwhile, which would fail the next start of the program at random. No
# cookie: any local user may connect, as the tests that run the program as
# another user need.
#
# usage: with_xvfb.sh COMMAND [ARGUMENTS...]
set -u
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

number_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$number_file" 2>/dev/null &
server=$!
for _ in $(seq 100); do
  [[ -s $number_file ]] && break
  kill -0 "$server" 2>/dev/null || break
  sleep 0.1
done
number=$(tr -d '\n' <"$number_file")
rm -f "$number_file"
if [[ -z $number ]]; then
  echo "the virtual X server did not start"
  kill "$server" 2>/dev/null; wait "$server" 2>/dev/null
  exit 1
fi

unset XAUTHORITY
DISPLAY=:$number "$@"
status=$?
kill "$server"
wait "$server" 2>/dev/null
exit $status
