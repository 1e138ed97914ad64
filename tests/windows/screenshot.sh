#!/usr/bin/env bash
# Remakes docs/window-wine.png: Quorvane.exe under Wine, answering requests
# from a port library that always reads the request raised, with its title
# bar drawn by Wine (there is no window manager on the virtual X server).
# Uses a Wine prefix of its own, as it changes the prefix's settings.
#
# usage: tests/windows/screenshot.sh [BUILD_DIR]   (default: build)
set -eu
cd "$(dirname "$0")/../.."
build=$(realpath "${1:-build}")
[[ -f $build/windows/front_ends/win32_window/Quorvane.exe ]] ||
  { echo "build the Windows program first: ctest --preset default -R cross"; exit 1; }
export QUORVANE_EXE=$build/windows/front_ends/win32_window/Quorvane.exe
export WINDOWS_TEST_PROGRAMS=$build/windows-test-programs
export RUN_FOLDER=$build/tests/windows/runs/screenshot
export OUTPUT=$PWD/docs/window-wine.png
tests/windows/with_wine.sh "$build/tests/windows/wine-prefix-screenshot" bash -c '
  set -eu
  source tests/windows/wine_run.sh
  # Wine draws the frame and title bar itself.
  $WINE reg add "HKCU\\Software\\Wine\\X11 Driver" /v Decorated /t REG_SZ /d N /f >/dev/null 2>&1
  lay_out_run answering
  start_program
  probe describe 30 >/dev/null
  # Into the second answer: the status line reads "Sending Sequence..." and
  # the last request has a time.
  sleep 5
  read -r _ left top width height < <(probe describe 5 | grep "^frame")
  import -window root -crop "${width}x${height}+${left}+${top}" +repage "$OUTPUT"
  probe close >/dev/null
  wait_program "$(limit 20)"
  echo "wrote $OUTPUT (${width} x ${height})"
'
