#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the demo and the tests need.
# Packages already present are skipped; apt-get runs only when one is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev   # build and unit tests
  qt6-base-dev libgl-dev                    # the Qt 6 window
  libieee1284-3-dev                         # the hardware port library
  xvfb xauth x11-utils xdotool imagemagick  # running and checking the window headless
  fonts-dejavu-core                         # a known fallback typeface for the status line
  libx11-dev                                # the benchmark sees the window mapped
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
