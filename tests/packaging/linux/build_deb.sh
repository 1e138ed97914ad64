#!/usr/bin/env bash
# Builds the Debian package from the build folder into DEB_FOLDER, afresh.
# usage: build_deb.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2
command -v dpkg-shlibdeps >/dev/null || { echo "SKIP: dpkg-shlibdeps is not installed"; exit 77; }
rm -rf "$DEB_FOLDER"
cd "$build"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$DEB_FOLDER"
ls -l "$DEB_FOLDER"/*.deb
