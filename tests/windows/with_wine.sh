#!/usr/bin/env bash
# Runs a command in a Wine session of its own: a private virtual X server,
# the given Wine prefix (made on first use, then reused), and the prefix's
# wineserver, which is ended, together with every Windows process of the
# session, when the command ends, however it ends. No process of the session
# outlives this script: a wineserver left running would keep the test's
# output pipe open and hold ctest.
#
# usage: with_wine.sh PREFIX COMMAND [ARGUMENTS...]
#   (PREFIX is made if missing; the command sees WINEPREFIX, DISPLAY,
#   WINE, the program to run Windows programs with, QUORVANE_WINE_EMULATED
#   (1 under emulation, else 0) and WINE_TIME_FACTOR, how many times longer
#   a start or a wait may take.)
# Exit status: the command's; 77 when Wine or Xvfb is not installed or
# 32-bit programs cannot run.
set -u
prefix=$1
shift
command -v wine >/dev/null && command -v wineserver >/dev/null ||
  { echo "SKIP: Wine is not installed (scripts/install-deps.sh installs it)"; exit 77; }
command -v Xvfb >/dev/null || { echo "SKIP: Xvfb is not installed"; exit 77; }

# The Windows programs are 32-bit, and so is the Wine that runs them: the
# kernel must run 32-bit programs itself or hand them to an emulator. Where
# neither is so, every Windows test skips at once with the reason.
if ! failure=$(timeout 60 wine --version 2>&1 >/dev/null); then
  echo "SKIP: 32-bit Windows programs cannot run here (${failure##*$'\n'}):" \
    "as root, scripts/enable-i386-programs.sh sets up their emulation"
  exit 77
fi
# Under QEMU's user-mode emulation (a binfmt_misc entry for i386 programs)
# every Windows program starts and runs several times slower: the tests
# widen their limits for starting and waiting by WINE_TIME_FACTOR, and only
# those. The answer's timing is judged with the usual tolerance.
source "$(dirname "$0")/../../scripts/i386_emulator.sh"
if i386_emulator=$(i386_emulator); then
  export QUORVANE_WINE_EMULATED=1 WINE_TIME_FACTOR=$i386_emulation_time_factor
  echo "Wine: 32-bit programs run under emulation ($i386_emulator); limits widened ${WINE_TIME_FACTOR}x"
else
  export QUORVANE_WINE_EMULATED=0 WINE_TIME_FACTOR=1
  echo "Wine: 32-bit programs run natively"
fi

export WINEPREFIX=$prefix
export WINEARCH=win32
# Quiet, and no offer to install .NET or the HTML engine into a new prefix.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINE=wine
unset XAUTHORITY
mkdir -p "$(dirname "$prefix")"
log="$prefix.log"

source "$(dirname "$0")/../support/start_xvfb.sh"
xvfb_pid=
end_session() {
  local status=$?
  trap - EXIT INT TERM HUP
  # Every Windows process of the prefix, then the server itself, waited for
  # a bounded time.
  if [[ -d $prefix ]]; then
    wineserver -k 2>/dev/null
    timeout $((20 * WINE_TIME_FACTOR)) wineserver -w 2>/dev/null
  fi
  stop_xvfb
  exit $status
}
trap end_session EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Its own virtual X server, at the DPI the window's sizes are checked at.
start_xvfb -dpi 96 || exit 1

# The server is started here with its output in the log, not in the
# command's pipes; each Windows process started below connects to it.
wineserver </dev/null >>"$log" 2>&1
# A prefix is whole once its stamp is there: one whose making was cut short
# is made again.
if [[ ! -f $prefix/.made-by-with-wine ]]; then
  echo "making the Wine prefix $prefix (once; its log: $log)"
  if ! timeout $((90 * WINE_TIME_FACTOR)) wineboot -u </dev/null >>"$log" 2>&1; then
    echo "wineboot failed or took over $((90 * WINE_TIME_FACTOR)) s: see $log"
    exit 1
  fi
  # Debian's Wine does not find its own fonts (fonts-wine: Tahoma, the
  # message font, and Marlett, which draws the title-bar buttons) where it
  # looks; the prefix's font folder is always searched.
  for font in /usr/share/wine/fonts/*.ttf; do
    [[ -e $font ]] && ln -sf "$font" "$prefix/drive_c/windows/Fonts/"
  done
  touch "$prefix/.made-by-with-wine"
fi

"$@"
