#!/usr/bin/env bash
# The tree as installed under /usr (in the staging folder): exactly the
# package's files, the programs executable, their run path reaching the
# hardware port library, the theme icons as the window's own drawing, the
# manual page rendering cleanly and compressed as Debian wants it, like the
# changelog, and every path the installed files name present in the tree.
source "$(dirname "$0")/common.sh"

# Exactly these files, so neither the simulated port library nor a bench
# tool can slip into the package.
(cd "$STAGE" && find . -not -type d | sed 's/^\.//' | sort) >"$scratch/staged"
expected_files | sort >"$scratch/expected"
if diff -u "$scratch/expected" "$scratch/staged"; then ok "the staged files"; else fail "the staged files differ (- expected, + staged)"; fi

for file in /usr/bin/quorvane /usr/bin/quorvane-console /usr/libexec/quorvane/quorvane-launch; do
  mode=$(stat -c %a "$STAGE$file" 2>/dev/null || echo missing)
  [[ $mode == 755 ]] && ok "$file is mode 755" || fail "$file: mode $mode, expected 755"
done

# Each program's RUNPATH, with $ORIGIN its own folder, holds the hardware
# port library (the one linked to libieee1284, not a simulated one).
for program in quorvane quorvane-console; do
  runpath=$(readelf -d "$STAGE/usr/bin/$program" | sed -n 's/.*(RUNPATH).*\[\(.*\)\]/\1/p') || true
  found=
  IFS=: read -ra folders <<<"$runpath"
  for folder in "${folders[@]}"; do
    folder=${folder//\$ORIGIN/$STAGE/usr/bin}
    [[ -f $folder/libinpout32.so ]] && found=$(readlink -f "$folder/libinpout32.so")
  done
  if [[ -z $found ]]; then
    fail "$program: its RUNPATH '$runpath' holds no libinpout32.so"
  elif ! readelf -d "$found" | grep -q 'NEEDED.*libieee1284'; then
    fail "$program: the libinpout32.so on its RUNPATH ($found) is not the hardware port library"
  else
    ok "$program finds ${found#"$STAGE"} through its RUNPATH '$runpath'"
  fi
done

# The theme icons are pixel for pixel the window's own images.
for size in 16 32; do
  png=$STAGE/usr/share/icons/hicolor/${size}x$size/apps/quorvane.png
  xpm=$SOURCE_DIR/resources/icon/measuring_screen_$size.xpm
  if ! command -v convert >/dev/null; then
    echo "note: ImageMagick is not installed, the ${size}-pixel icon is not compared"
  elif [[ $(convert "$png" -format '%m %wx%h' info:) != "PNG ${size}x$size" ]]; then
    fail "$png: not a ${size}x$size PNG: $(convert "$png" -format '%m %wx%h' info: 2>&1)"
  elif cmp -s <(convert "$png" rgb:-) <(convert "$xpm" rgb:-); then
    ok "the ${size}-pixel icon is the window's"
  else
    fail "the ${size}-pixel icon's pixels differ from $xpm"
  fi
done

# gzip -9n: no file name, no time stamp, the best compression.
check_gzip() {
  local file=$1 header
  read -ra header < <(head -c 10 "$file" | od -An -tu1)
  if [[ ${header[0]}-${header[1]} != 31-139 ]]; then
    fail "$file is not gzip-compressed"
  elif ((header[3] & 8)) || [[ ${header[*]:4:4} != "0 0 0 0" ]] || ((header[8] != 2)); then
    fail "$file: not gzip -9n (flags ${header[3]}, time ${header[*]:4:4}, extra flags ${header[8]})"
  else
    ok "${file#"$STAGE"} is gzip -9n"
  fi
}
man_page=$STAGE/usr/share/man/man1/quorvane.1.gz
check_gzip "$man_page"
check_gzip "$STAGE/usr/share/doc/quorvane/changelog.gz"
[[ $(readlink -f "$STAGE/usr/share/man/man1/quorvane-console.1.gz") == "$(readlink -f "$man_page")" ]] &&
  ok "quorvane-console's manual page is quorvane's" || fail "quorvane-console.1.gz does not lead to quorvane.1.gz"

warnings=$(MANWIDTH=80 man --warnings -l "$man_page" 2>&1 >/dev/null || echo "man failed")
[[ -z $warnings ]] && ok "the manual page renders without warnings" || fail "the manual page: $warnings"
# Every installed path the manual page, the service and the desktop entries
# name is in the tree (the log and the state folder come at run time).
named=$(zcat "$man_page" | sed -n 's/^\.I \(\/[^ ]*\)$/\1/p' | sed 's/\\-/-/g' | grep -v '^/var/\|^/etc/\|^/dev/') ||
  fail "the manual page names no installed files"
named+=$'\n'$(sed -n 's/^ExecStart=//p' "$STAGE/usr/lib/systemd/system/quorvane-console.service")
named+=$'\n'$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$STAGE/usr/share/applications/quorvane.desktop" \
  "$STAGE/usr/share/quorvane/autostart/quorvane.desktop")
while read -r path; do
  [[ -e $STAGE$path ]] && ok "named and present: $path" || fail "named but not installed: $path"
done <<<"$named"

if cmp -s "$SOURCE_DIR/LICENSE" "$STAGE/usr/share/doc/quorvane/copyright" &&
  grep -q '^MIT License$' "$SOURCE_DIR/LICENSE" &&
  grep -q '^Copyright (c) 2026 The Quorvane developers$' "$SOURCE_DIR/LICENSE"; then
  ok "the copyright file is the MIT LICENSE"
else
  fail "the copyright file is not the MIT LICENSE with the project's copyright line"
fi
if command -v dpkg-parsechangelog >/dev/null; then
  zcat "$STAGE/usr/share/doc/quorvane/changelog.gz" >"$scratch/changelog"
  latest=$(dpkg-parsechangelog -l "$scratch/changelog" -S Version 2>&1) || latest="unreadable: $latest"
  [[ $latest == "$VERSION" ]] && ok "the changelog's latest entry is $VERSION" ||
    fail "the changelog's latest entry is '$latest', the package is $VERSION"
fi
finish
