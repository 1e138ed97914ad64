#!/usr/bin/env bash
# The menu entry and the login autostart entry pass desktop-file-validate
# (no errors and no warnings), start the launcher, not the bare program
# (which would write its log wherever the session starts it); the autostart
# entry is not where sessions start it unasked.
source "$(dirname "$0")/common.sh"
need desktop-file-validate

menu=$STAGE/usr/share/applications/quorvane.desktop
autostart=$STAGE/usr/share/quorvane/autostart/quorvane.desktop
for entry in "$menu" "$autostart"; do
  name=${entry#"$STAGE"}
  report=$(desktop-file-validate "$entry" 2>&1) && [[ -z $report ]] && ok "$name validates" ||
    fail "$name: $report"
  [[ $(sed -n 's/^Exec=//p' "$entry") == /usr/libexec/quorvane/quorvane-launch ]] &&
    ok "$name starts the launcher" || fail "$name: Exec=$(sed -n 's/^Exec=//p' "$entry")"
done
[[ ! -e $STAGE/etc/xdg/autostart ]] && ok "nothing in /etc/xdg/autostart" || fail "the package enables the autostart entry"
finish
