#!/usr/bin/env bash
# Runs a command in a Wine session of its own: a private virtual X server,
# the given Wine prefix (made on first use, then reused), and the prefix's
# wineserver, which is ended, together with every Windows process of the
# session, when the command ends, however it ends. No process of the session
# outlives this script: a wineserver left running would keep the test's
# output pipe open and hold ctest.
#
# usage: with_wine.sh PREFIX COMMAND [ARGUMENTS...]
#   (PREFIX is made if missing; the command sees WINEPREFIX, DISPLAY and
#   WINE, the program to run Windows programs with.)
# Exit status: the command's; 77 when Wine or Xvfb is not installed.
set -u
prefix=$1
shift
command -v wine >/dev/null && command -v wineserver >/dev/null ||
  { echo "SKIP: Wine is not installed (scripts/install-deps.sh installs it)"; exit 77; }
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

export WINEPREFIX=$prefix
export WINEARCH=win32
# Quiet, and no offer to install .NET or the HTML engine into a new prefix.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINE=wine
unset XAUTHORITY
mkdir -p "$(dirname "$prefix")"
log="$prefix.log"

xvfb_pid=
end_session() {
  local status=$?
  trap - EXIT INT TERM HUP
  # Every Windows process of the prefix, then the server itself, waited for
  # a bounded time.
  if [[ -d $prefix ]]; then
    wineserver -k 2>/dev/null
    timeout 20 wineserver -w 2>/dev/null
  fi
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  exit $status
}
trap end_session EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Its own virtual X server, at the DPI the window's sizes are checked at.
source "$(dirname "$0")/../support/start_xvfb.sh"
start_xvfb -dpi 96 || exit 1

# The server is started here with its output in the log, not in the
# command's pipes; each Windows process started below connects to it.
wineserver </dev/null >>"$log" 2>&1
if [[ ! -f $prefix/system.reg ]]; then
  echo "making the Wine prefix $prefix (once; its log: $log)"
  if ! wineboot -u </dev/null >>"$log" 2>&1; then
    echo "wineboot failed: see $log"
    exit 1
  fi
  # Debian's Wine does not find its own fonts (fonts-wine: Tahoma, the
  # message font, and Marlett, which draws the title-bar buttons) where it
  # looks; the prefix's font folder is always searched.
  for font in /usr/share/wine/fonts/*.ttf; do
    [[ -e $font ]] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
  done
fi

"$@"
