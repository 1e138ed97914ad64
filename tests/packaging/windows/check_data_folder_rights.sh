#!/usr/bin/env bash
# The installer's script, as packed, against what Wine cannot show (it keeps
# no rights of folders): the data folder and the program's folder are set
# up by the service program's own modes (whose rights the unit tests
# service_rights_tests take apart), before any file is placed, from a copy
# in the installer's temporary folder, and a refusal stops the install; no
# icacls grant is left, which would keep the entries of whoever made the
# folder first; the installed service gets its own SID and privileges the
# same way; and the service runs as LocalService, not as an account with
# more rights.
#
# usage: check_data_folder_rights.sh QUORVANE_NSH
set -u
script=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# The lines of the macro NAME.
macro() { sed -n "/^!macro $1\$/,/^!macroend/p" "$script"; }

grep -n 'icacls' "$script" && fail "icacls still sets rights: /grant:r keeps the entries of whoever made the folder"
folders=$(macro QuorvaneFolders)
echo "$folders"
grep -q 'File "/oname=$PLUGINSDIR\\${QUORVANE_SERVICE_PROGRAM}"' <<<"$folders" ||
  fail "the set-up program is not unpacked into the installer's own temporary folder"
grep -q 'QuorvaneSetUp "--prepare-data-folder"' <<<"$folders" || fail "the data folder is not prepared"
grep -q "QuorvaneSetUp '--secure-program-folder \"\$INSTDIR\"'" <<<"$folders" ||
  fail "the program's folder is not given its rights"
before=$(macro QuorvaneBeforeFiles)
grep -q 'QuorvaneFolders' <<<"$before" || fail "the folders are not set up before the files are placed"
[[ $(grep -n 'QuorvaneFolders\|QuorvaneStopService' <<<"$before" | head -1) == *QuorvaneFolders* ]] ||
  fail "a refused folder would leave the service stopped: the folders must come first"
grep -A3 '\${QUORVANE_SERVICE_PROGRAM}" ${ARGUMENTS}' <<<"$(macro 'QuorvaneSetUp ARGUMENTS WHAT')" |
  grep -q 'QuorvaneRefuse' || fail "a refusal of the set-up does not stop the install"
grep -q -- '--configure-service' <<<"$(macro QuorvaneInstallService)" ||
  fail "the service's own SID and privileges are not set"
grep -q '^!define QUORVANE_SERVICE_ACCOUNT "NT AUTHORITY\\LocalService"$' "$script" ||
  fail "the service does not run as LocalService"
if ((failures)); then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
