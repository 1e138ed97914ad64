#!/usr/bin/env bash
# Installs the built tree under /usr into the staging folder, afresh.
# usage: stage.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
rm -rf "$STAGE"
DESTDIR=$STAGE "$cmake" --install "$build" --prefix /usr
