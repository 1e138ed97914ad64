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
  g++-mingw-w64-i686                        # the 32-bit Windows program
  wine wine32:i386 fonts-wine               # running the Windows program in the tests
  dpkg-dev lintian desktop-file-utils       # the Debian package and its checks
  systemd                                   # systemd-analyze, to check the service
  nsis                                      # the Windows installer
  python3                                   # the icon generator and the test helpers
)

if [[ $(id -u) -ne 0 ]]; then sudo=sudo; else sudo=; fi

# wine32 is an i386 package: the architecture must be known to dpkg, and the
# package lists fetched again after adding it.
architecture_added=false
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  architecture_added=true
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done

if ((${#missing[@]})) || $architecture_added; then
  $sudo apt-get update -qq
fi
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
