#!/usr/bin/env bash
# The installer's script, as packed, against what Wine cannot show: its
# Service Control Manager keeps no failure actions (QueryServiceConfig2W
# answers ERROR_INVALID_LEVEL), so the service test under Wine sees only
# that asking for them did not fail the install. Here: the service is set
# to start at boot, is started again 5 s after each of its first three
# failures (and, the last action standing for the ones after, after every
# later one), the count reset after a day, and a run that ends with an
# error code counts as a failure (the failure-actions flag), as on Linux
# (Restart=always, RestartSec=5).
#
# usage: check_service_recovery.sh QUORVANE_NSH
set -u
script=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
define() { sed -n "s/^!define $1 \(.*\)$/\1/p" "$script"; }
[[ -f $script ]] || { echo "FAIL: no $script"; exit 1; }

[[ $(define QUORVANE_RESTART_DELAY_MS) == 5000 ]] || fail "restart delay: $(define QUORVANE_RESTART_DELAY_MS) ms, expected 5000"
[[ $(define QUORVANE_FAILURE_RESET_S) == 86400 ]] || fail "reset period: $(define QUORVANE_FAILURE_RESET_S) s, expected a day"
[[ $(define SC_ACTION_RESTART) == 1 && $(define SERVICE_AUTO_START) == 2 ]] ||
  fail "SC_ACTION_RESTART or SERVICE_AUTO_START misdefined"

actions=$(grep -m1 "System::Call '\*(i \${SC_ACTION_RESTART}" "$script")
echo "actions: $actions"
[[ $(grep -o 'i ${SC_ACTION_RESTART}, i ${QUORVANE_RESTART_DELAY_MS}' <<<"$actions" | wc -l) == 3 ]] ||
  fail "not three restart actions after the delay"
grep -q "System::Call '\*(i \${QUORVANE_FAILURE_RESET_S}, p 0, p 0, i 3, p R7) p.R2'" "$script" ||
  fail "the failure actions are not the three restarts with the reset period"
for setting in SERVICE_CONFIG_FAILURE_ACTIONS SERVICE_CONFIG_FAILURE_ACTIONS_FLAG; do
  grep -q "QuorvaneServiceSetting \${$setting} " "$script" || fail "$setting is never set"
done
grep -B1 'QuorvaneServiceSetting ${SERVICE_CONFIG_FAILURE_ACTIONS_FLAG}' "$script" | grep -q "'\*(i 1) p.R2'" ||
  fail "the failure-actions flag is not set to 1"
for call in CreateServiceW ChangeServiceConfigW; do
  grep "advapi32::$call(" "$script" | grep -q 'i ${SERVICE_WIN32_OWN_PROCESS}, i ${SERVICE_AUTO_START}' ||
    fail "$call does not make it start at boot"
done
if ((failures)); then echo "$failures check(s) failed"; exit 1; fi
echo "all checks passed"
