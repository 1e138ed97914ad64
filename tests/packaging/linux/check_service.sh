#!/usr/bin/env bash
# The service passes systemd-analyze verify (its program taken from the
# staging folder, its manual page from the staged manuals) and keeps its
# hardening (systemd-analyze security, offline); it restarts whenever it
# ends with no start-rate limit, keeps the ppdev nodes within reach, may
# answer in the real-time class, and is not enabled by the tree.
source "$(dirname "$0")/common.sh"
need systemd-analyze

service=$STAGE/usr/lib/systemd/system/quorvane-console.service
[[ $(sed -n 's/^ExecStart=//p' "$service") == /usr/bin/quorvane-console ]] &&
  ok "ExecStart is the installed text front end" || fail "ExecStart=$(sed -n 's/^ExecStart=//p' "$service")"

# verify wants ExecStart's program present: the same unit with the path
# into the staging folder, under its own name.
mkdir "$scratch/units"
sed "s|^ExecStart=/|ExecStart=$STAGE/|" "$service" >"$scratch/units/quorvane-console.service"
if report=$(cd "$scratch/units" && MANPATH=$STAGE/usr/share/man systemd-analyze verify quorvane-console.service 2>&1) &&
  [[ -z $report ]]; then
  ok "systemd-analyze verify"
else
  fail "systemd-analyze verify: $report"
fi
# The exposure score from 0 (locked down) to 10; the unit scores about 1
# (1.1 with the real-time class allowed).
if report=$(systemd-analyze security --offline=yes --threshold=25 "$scratch/units/quorvane-console.service" 2>&1); then
  ok "$(grep -o 'Overall exposure level.*' <<<"$report")"
else
  fail "exposure over 2.5: $(grep -o 'Overall exposure level.*' <<<"$report" || echo "$report")"
fi

# The settings as systemd reads them, last one winning.
setting() { sed -n "s/^$1=//p" "$service" | tail -1; }
[[ $(setting Restart) == always ]] && ok "Restart=always" || fail "Restart=$(setting Restart)"
seconds=$(setting RestartSec)
[[ $seconds =~ ^[0-9]+$ && $seconds -ge 1 && $seconds -le 10 ]] && ok "RestartSec=$seconds" ||
  fail "RestartSec=$seconds, expected a few seconds"
[[ $(setting StartLimitIntervalSec) == 0 || $(setting StartLimitBurst) == 0 ]] &&
  ok "no start-rate limit" || fail "a start-rate limit would stop the restarts for good"
[[ $(setting PrivateDevices) =~ ^(yes|true|on|1)$ ]] && fail "PrivateDevices would hide /dev/parport*"
if [[ $(setting DevicePolicy) == closed || $(setting DevicePolicy) == strict ]]; then
  grep -q '^DeviceAllow=char-ppdev rw' "$service" && ok "the ppdev nodes are allowed" ||
    fail "DevicePolicy=$(setting DevicePolicy) without the ppdev nodes"
fi
# The answer's real-time class: allowed, at the lowest priority only, and
# with a cap on the CPU time a real-time thread may take without sleeping.
[[ $(setting RestrictRealtime) =~ ^(no|false|off|0)$ && $(setting LimitRTPRIO) == 1 ]] &&
  ok "the real-time class at priority 1 for the answers" ||
  fail "RestrictRealtime=$(setting RestrictRealtime) LimitRTPRIO=$(setting LimitRTPRIO): the answers would run late under load"
[[ -n $(setting LimitRTTIME) && $(setting LimitRTTIME) != infinity ]] && ok "LimitRTTIME=$(setting LimitRTTIME)" ||
  fail "no LimitRTTIME: a real-time thread gone wrong could hold a core"
[[ -z $(find "$STAGE" -path '*/systemd/system/*.wants*' -o -path '*/etc/systemd*' | head -1) ]] &&
  ok "not enabled by the tree" || fail "the tree enables the service"
finish
