#!/usr/bin/env bash
# Ends every Windows process of the Wine prefix and its wineserver, waiting
# a bounded time: the last word of the Wine tests, in case a session left
# anything behind.
#
# usage: end_wine.sh PREFIX
set -u
[[ -d $1 ]] && command -v wineserver >/dev/null || exit 0
export WINEPREFIX=$1
wineserver -k 2>/dev/null
timeout 20 wineserver -w 2>/dev/null
exit 0
