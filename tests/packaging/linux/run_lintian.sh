#!/usr/bin/env bash
# lintian on the built package: errors fail the test; its warnings and notes
# are printed for the reader.
source "$(dirname "$0")/common.sh"
need lintian

deb=$DEB_FOLDER/quorvane_${VERSION}_$(dpkg --print-architecture).deb
[[ -f $deb ]] || { fail "no $deb"; finish; }
status=0
lintian --info --display-info --no-tag-display-limit "$deb" >"$scratch/lintian" 2>&1 || status=$?
cat "$scratch/lintian"
if grep -q '^E: ' "$scratch/lintian"; then
  fail "lintian reports errors"
elif ((status > 1)); then
  fail "lintian could not check the package (status $status)"
else
  ok "no lintian errors ($(grep -c '^W: ' "$scratch/lintian" || true) warning(s))"
fi
finish
