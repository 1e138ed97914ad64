#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the demo and the tests need.
# Packages already present are skipped; apt-get runs only when one is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev   # build and unit tests
  qt6-base-dev libgl-dev                    # the Qt 6 window
  libieee1284-3-dev                         # the hardware port library
  libacl1-dev                               # who may write the restart log's folder (its access control list)
  xvfb xauth x11-utils xdotool imagemagick  # running and checking the window headless
  fonts-dejavu-core                         # a known fallback typeface for the status line
  libx11-dev                                # the benchmark sees the window mapped
  libcli11-dev libfmt-dev                   # the bench tools' command lines and texts
  nlohmann-json3-dev                        # the bench tools' JSON files
  g++-mingw-w64-i686                        # the 32-bit Windows program
  wine wine32:i386 fonts-wine               # running the Windows program in the tests
  dpkg-dev lintian desktop-file-utils       # the Debian package and its checks
  systemd                                   # systemd-analyze, to check the service
  nsis                                      # the Windows installer
  python3                                   # the icon generator and the test helpers
  qemu-system-x86 busybox-static            # a Linux guest with a real parallel-port driver
  clang-format clang-tidy                   # the house style, checked by the tests
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
  $sudo apt-get update -qq || echo "install-deps: apt-get update reported errors (above); going on with the package lists it has"
fi
apt_install() { DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "$@"; }
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  # An i386 and an amd64 copy of a library must have one version. Where the
  # archive's i386 index of the security suite could not be fetched (a mirror
  # in mid-sync), the amd64 copy would come from that suite and its i386 twin
  # could not: the release's own versions are then preferred.
  if ! apt_install "${missing[@]}"; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    echo "install-deps: retrying with the versions of $codename itself preferred"
    apt_install -t "$codename" "${missing[@]}"
  fi
fi

# The 32-bit Wine needs a kernel that runs 32-bit programs, or their
# emulation; where neither can be had, the Windows tests say so and skip.
$sudo "$(dirname "$0")/enable-i386-programs.sh" || true
