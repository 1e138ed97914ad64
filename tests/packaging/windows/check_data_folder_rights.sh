#!/usr/bin/env bash
# The installer's script, as packed, against what Wine cannot show (its
# icacls does nothing): the data folder's rights are set on the folder
# itself (/L), inherit nothing from ProgramData, and give no group of users
# (Users, Authenticated Users, Everyone, INTERACTIVE) more than read; the
# owner is Administrators.
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
((owner_set)) || fail "the owner is not set to Administrators"
((rights_set)) || fail "the rights are not set"
if ((failures)); then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
