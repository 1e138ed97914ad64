#!/usr/bin/env bash
# Makes 32-bit (i386) Linux programs runnable, for the 32-bit Wine that runs
# the Windows program in the tests. Where the kernel runs them already, this
# does nothing. Elsewhere (a kernel built without IA-32 emulation: every
# 32-bit program fails with "Exec format error") it runs them through QEMU's
# user-mode emulator registered with binfmt_misc:
#   1. qemu-user from the release's backports suite (bookworm's own QEMU 7.2
#      treats MAP_FIXED_NOREPLACE as a hint, and Wine's address-space
#      reservations land in the wrong place); the suite is added with the
#      archive address the machine's own apt sources use;
#   2. binfmt_misc mounted, and the i386 entry registered (or re-enabled);
#   3. a check that the 32-bit Wine loader then starts.
# Idempotent: a second run only checks. The registration is machine-wide and
# lasts until the next reboot; running this again restores it.
#
# Exit status: 0 when 32-bit programs run, 1 (with one line saying why) when
# they cannot be made to.
set -uo pipefail

# The 32-bit program the tests need to run: Debian's 32-bit Wine loader.
probe=/usr/lib/wine/wine
minimum_qemu=1:10            # the first version seen to run Wine's prefix set-up
binfmt=/proc/sys/fs/binfmt_misc
entry=$binfmt/qemu-i386

say() { echo "enable-i386-programs: $*"; }
cannot() {
  say "32-bit Windows programs cannot run on this machine: $*; the Windows tests will be skipped"
  exit 1
}

runs_i386() { timeout 60 "$probe" --version >/dev/null 2>&1; }
source "$(dirname "$0")/i386_emulator.sh"

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[[ -n $codename ]] || cannot "/etc/os-release names no release codename"
backports=$codename-backports

qemu_version() { dpkg-query -W -f='${Version}' qemu-user 2>/dev/null; }
qemu_is_recent() {
  local version
  version=$(qemu_version) && [[ -n $version ]] && dpkg --compare-versions "$version" ge "$minimum_qemu"
}

[[ -x $probe ]] || cannot "$probe is not installed (package wine32:i386)"
if runs_i386; then
  if ! emulator=$(i386_emulator); then
    say "32-bit programs run natively"
    exit 0
  fi
  # An older QEMU runs a plain program but not Wine's prefix set-up.
  if qemu_is_recent; then
    say "32-bit programs run, under user-mode emulation ($emulator, qemu-user $(qemu_version))"
    exit 0
  fi
  say "32-bit programs run under $emulator, which is not qemu-user $minimum_qemu or later"
fi
[[ $(id -u) -eq 0 ]] || cannot "32-bit programs fail here and setting up their emulation needs root (run scripts/install-deps.sh as root or with sudo)"

# The archive address (and key) that the machine's sources use for the
# release itself, from deb822 .sources files or one-line .list files.
release_source() {
  local file
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -r $file ]] || continue
    awk -v suite="$codename" '
      function flush() {
        if (uris != "" && types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ")) {
          split(uris, u, " "); print u[1] "\t" signed; found = 1; exit
        }
        uris = ""; suites = ""; types = ""; signed = ""
      }
      /^[ \t]*$/ { flush(); next }
      /^URIs:/ { sub(/^URIs:[ \t]*/, ""); uris = $0 }
      /^Suites:/ { sub(/^Suites:[ \t]*/, ""); suites = $0 }
      /^Types:/ { sub(/^Types:[ \t]*/, ""); types = $0 }
      /^Signed-By:/ { sub(/^Signed-By:[ \t]*/, ""); signed = $0 }
      END { if (!found) flush() }
    ' "$file" | head -n 1 | grep . && return 0
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -r $file ]] || continue
    # deb [options] URI SUITE COMPONENTS...
    awk -v suite="$codename" '
      $1 == "deb" {
        i = 2; signed = ""
        if ($2 ~ /^\[/) {
          for (; i <= NF; i++) {
            if ($i ~ /^\[?signed-by=/) { s = $i; sub(/^\[?signed-by=/, "", s); sub(/\]$/, "", s); signed = s }
            if ($i ~ /\]$/) { i++; break }
          }
        }
        if ($(i + 1) == suite) { print $i "\t" signed; exit }
      }' "$file" | head -n 1 | grep . && return 0
  done
  return 1
}

backports_listed() {
  grep -rqsE "(^|[[:space:]])$backports([[:space:]]|$)" /etc/apt/sources.list /etc/apt/sources.list.d/
}

# --- 1. a QEMU recent enough ---------------------------------------------
if ! qemu_is_recent; then
  if ! backports_listed; then
    source_line=$(release_source) || cannot "no apt source for '$codename' to take the archive address from"
    uri=${source_line%%$'\t'*}
    signed_by=${source_line#*$'\t'}
    list=/etc/apt/sources.list.d/$backports.sources
    say "adding the $backports suite from $uri ($list)"
    {
      echo "Types: deb"
      echo "URIs: $uri"
      echo "Suites: $backports"
      echo "Components: main"
      [[ -n $signed_by ]] && echo "Signed-By: $signed_by"
    } >"$list"
  fi
  apt-get update -qq || say "apt-get update reported errors (above); going on with the package lists it has"
  say "installing qemu-user from $backports"
  # The package/suite form installs this one package from backports and
  # upgrades nothing else.
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "qemu-user/$backports" ||
    cannot "qemu-user could not be installed from $backports"
  qemu_is_recent || cannot "qemu-user $(qemu_version) is older than $minimum_qemu, which Wine needs"
fi

# --- 2. the binfmt_misc entry --------------------------------------------
if [[ ! -e $binfmt/register ]]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    cannot "binfmt_misc cannot be mounted on $binfmt (a container without that privilege?)"
fi
conf=
for candidate in /usr/share/qemu/binfmt.d/qemu-i386.conf /usr/lib/binfmt.d/qemu-i386.conf; do
  [[ -r $candidate ]] && { conf=$candidate; break; }
done
[[ -n $conf ]] || cannot "qemu-user brings no qemu-i386.conf for binfmt_misc"
line=$(grep -v '^#' "$conf" | grep -m 1 '^:qemu-i386:')
interpreter=$(cut -d: -f7 <<<"$line")
[[ -x $interpreter ]] || cannot "$conf names $interpreter, which is not there"

if [[ -e $entry ]] && [[ $(sed -n 's/^interpreter //p' "$entry") != "$interpreter" ]]; then
  say "replacing the i386 entry, which runs $(sed -n 's/^interpreter //p' "$entry")"
  echo -1 >"$entry"
fi
if [[ -e $entry ]]; then
  [[ $(head -n 1 "$entry") == enabled ]] || { say "re-enabling the i386 entry"; echo 1 >"$entry"; }
else
  say "registering $interpreter for i386 programs"
  printf '%s\n' "$line" >"$binfmt/register" 2>/dev/null ||
    cannot "the kernel refused the binfmt_misc entry from $conf"
fi

# --- 3. the check ----------------------------------------------------------
runs_i386 || cannot "$probe still does not start: $("$probe" --version 2>&1 | head -n 1)"
say "32-bit programs now run, under QEMU's user-mode emulation ($interpreter, qemu-user $(qemu_version))"
