#!/usr/bin/env bash
# Makes docs/window.png: the window under a virtual X server on the simulated
# port, shortly after it answered a request. With --during FILE it also saves
# a picture taken in the middle of the answer.
set -euo pipefail
cd "$(dirname "$0")/.."
during=
[[ ${1:-} == --during ]] && during=$(realpath -m "$2")

scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)" --target quorvane quorvane_simulated_port quorvane-simport

build=$PWD/build
simport=$build/port_libraries/simulated/quorvane-simport
run_folder=$(mktemp -d "${TMPDIR:-/tmp}/quorvane-screenshot.XXXXXX")
export QUORVANE_SIMULATED_PORT=$run_folder/simulated-port
export XDG_RUNTIME_DIR=$run_folder/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
children=()
cleanup() {
  # The newest first, so the program goes before its X server.
  for ((i = ${#children[@]} - 1; i >= 0; i--)); do kill "${children[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$run_folder" "${xvfb_auth_folder:-}"
}
trap cleanup EXIT

source tests/support/start_xvfb.sh
start_xvfb || exit 1
children+=("$xvfb_pid")

"$simport" set-status 0x00
(cd "$run_folder" && LD_LIBRARY_PATH=$build/port_libraries/simulated exec "$build/front_ends/qt/quorvane") &
children+=($!)
# The caption as the program defines it.
caption=$(sed -n 's/^inline constexpr char kCaption\[\] = "\(.*\)";$/\1/p' core/status_window/window_description.h)
[[ -n $caption ]] || { echo "the caption is not in core/status_window/window_description.h" >&2; exit 1; }
window=$(timeout 20 xdotool search --sync --onlyvisible --name "^$caption\$" | head -1)

"$simport" request --max 3
if [[ -n $during ]]; then
  sleep 1.5
  import -window "$window" "$during"
  echo "Saved $during"
fi
# The answer takes three seconds; the tick after it shows "Waiting for Request...".
sleep 4
mkdir -p docs
import -window "$window" docs/window.png
echo "Saved docs/window.png"
