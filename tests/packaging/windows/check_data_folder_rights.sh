#!/usr/bin/env bash
# The installer's script, as packed, against what Wine cannot show (its
# icacls does nothing): the data folder's rights are set on the folder
# itself (/L), inherit nothing from ProgramData, and give no group of users
# (Users, Authenticated Users, Everyone, INTERACTIVE) more than read; the
# owner is Administrators; the service's account may modify, no more.
#
# usage: check_data_folder_rights.sh QUORVANE_NSH
set -u
script=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

mapfile -t lines < <(grep -i 'nsExec::.*icacls' "$script")
((${#lines[@]} > 0)) || fail "no icacls line in $script"
printf '%s\n' "${lines[@]}"
owner_set=0 rights_set=0
for line in "${lines[@]}"; do
  [[ $line == *' /L'* ]] || fail "not on the folder itself (no /L): $line"
  [[ $line == *'/setowner *S-1-5-32-544 '* ]] && owner_set=1
  if [[ $line == *'/grant'* ]]; then
    [[ $line == *'/inheritance:r'* && $line == *'/grant:r'* ]] || fail "rights added to inherited ones: $line"
    rights_set=1
    for group in S-1-5-32-545 S-1-5-11 S-1-1-0 S-1-5-4; do
      for grant in $(grep -o "\*$group:[^ ']*" <<<"$line"); do
        rights=${grant##*:}
        rights=${rights//(OI)/}
        rights=${rights//(CI)/}
        [[ $rights == RX || $rights == R || $rights == '(RX)' || $rights == '(R)' ]] ||
          fail "$group may do more than read: $grant"
      done
    done
  fi
done
# The service's account (LocalService) writes its restart log there: it may
# modify, never change the rights or take the folder, and only where the
# service is the way chosen; otherwise its right is removed.
service_grants=$(grep -o '\*${QUORVANE_SERVICE_ACCOUNT_SID}:[^ '"'"']*' <<<"$(printf '%s\n' "${lines[@]}")")
[[ $service_grants == '*${QUORVANE_SERVICE_ACCOUNT_SID}:(OI)(CI)M' ]] ||
  fail "the service's account is granted '$service_grants', expected modify only"
grep -q '^!define QUORVANE_SERVICE_ACCOUNT_SID "S-1-5-19"$' "$script" || fail "the service's account is not LocalService"
grep -q '/remove:g \*${QUORVANE_SERVICE_ACCOUNT_SID} /L' "$script" || fail "the service's right is never removed"
((owner_set)) || fail "the owner is not set to Administrators"
((rights_set)) || fail "the rights are not set"
if ((failures)); then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
