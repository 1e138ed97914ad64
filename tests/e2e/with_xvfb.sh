#!/usr/bin/env bash
# Runs a command on a virtual X server of its own (start_xvfb.sh), then
# stops the server and waits for it to be gone. The server takes only
# clients with its key (XAUTHORITY): a test that runs the program as another
# user hands that user a copy.
#
# usage: with_xvfb.sh COMMAND [ARGUMENTS...]
set -u
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

source "$(dirname "$0")/../support/start_xvfb.sh"
start_xvfb || exit 1

"$@"
status=$?
stop_xvfb
exit $status
