#!/usr/bin/env bash
# Runs a command on a virtual X server of its own (start_xvfb.sh), then
# stops the server and waits for it to be gone. No cookie: any local user
# may connect, as the tests that run the program as another user need.
#
# usage: with_xvfb.sh COMMAND [ARGUMENTS...]
set -u
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

source "$(dirname "$0")/../support/start_xvfb.sh"
start_xvfb || exit 1

unset XAUTHORITY
"$@"
status=$?
kill "$xvfb_pid"
wait "$xvfb_pid" 2>/dev/null
exit $status
