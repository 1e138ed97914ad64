#!/usr/bin/env bash
# The virtual X server of the tests, the demo and the screenshots lets in
# only clients with its key: another local user without it cannot connect,
# so cannot see the window, type into it or close it. Its starter connects
# with the key, and so does another user handed a copy (as a test running
# the program as another user does).
# As root the other user is nobody (setpriv); otherwise the same user
# without the key stands in for one.
set -u
for tool in Xvfb xauth xdpyinfo; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [[ $(id -u) -eq 0 ]]; then
  command -v setpriv >/dev/null || { echo "SKIP: setpriv is not installed"; exit 77; }
  other=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
  other=()
fi

source "$(dirname "$0")/../support/start_xvfb.sh"
start_xvfb || exit 1
copy=$(mktemp -d)
trap 'stop_xvfb; rm -rf "$copy"' EXIT
chmod 755 "$copy"
cp "${XAUTHORITY:-/dev/null}" "$copy/key"
chmod 644 "$copy/key"

failures=0
# expect WHAT yes|no [COMMAND PREFIX...]: whether xdpyinfo gets in.
expect() {
  local what=$1 wanted=$2 got=no
  shift 2
  timeout 20 "$@" xdpyinfo >/dev/null 2>&1 && got=yes
  if [[ $got == "$wanted" ]]; then
    echo "ok: $what: connects $got"
  else
    echo "FAIL: $what: connects $got, expected $wanted"
    failures=$((failures + 1))
  fi
}
expect "its starter, with the key" yes env
expect "another user, without the key" no "${other[@]}" env XAUTHORITY=/nonexistent "HOME=$copy"
expect "another user, with a copy of the key" yes "${other[@]}" env "XAUTHORITY=$copy/key" "HOME=$copy"
echo "$((3 - failures)) passed, $failures failed"
((failures == 0))
