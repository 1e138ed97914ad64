#!/usr/bin/env bash
# The built package, read with dpkg-deb: named for its version and
# architecture, holding exactly the installed tree (owned by root, its
# checksums right), its Depends computed from what the files link (Qt 6
# widgets, libieee1284), and no maintainer script that enables or starts
# the service.
source "$(dirname "$0")/common.sh"
need dpkg-deb

architecture=$(dpkg --print-architecture)
deb=$DEB_FOLDER/quorvane_${VERSION}_$architecture.deb
[[ -f $deb ]] || { fail "no $deb: $(ls "$DEB_FOLDER" 2>&1)"; finish; }
ok "built ${deb##*/}"

field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == quorvane && $(field Version) == "$VERSION" && $(field Architecture) == "$architecture" ]] &&
  ok "quorvane $VERSION for $architecture" ||
  fail "Package $(field Package), Version $(field Version), Architecture $(field Architecture)"

depends=$(field Depends)
echo "Depends: $depends"
for package in libqt6widgets6 libieee1284-3 libc6; do
  # Computed entries carry the lowest version the linked symbols need.
  grep -Eq "(^|, )$package \(>= [^)]+\)(,|$)" <<<"$depends" && ok "Depends names $package with its version" ||
    fail "Depends lacks a computed $package"
done

# The files, links included, are the staged tree's, all root's.
dpkg-deb -c "$deb" >"$scratch/contents"
awk '$1 !~ /^d/ { print $6 }' "$scratch/contents" | sed 's/^\.//' | sort >"$scratch/packed"
expected_files | sort >"$scratch/expected"
if diff -u "$scratch/expected" "$scratch/packed"; then ok "the packed files"; else fail "the packed files differ (- expected, + packed)"; fi
awk '$2 != "root/root" { bad = 1; print "not root/root: " $0 } END { exit bad }' "$scratch/contents" &&
  ok "every file is root's" || fail "files not owned by root"

mkdir "$scratch/tree" "$scratch/control"
dpkg-deb -x "$deb" "$scratch/tree"
dpkg-deb -e "$deb" "$scratch/control"
(cd "$scratch/tree" && md5sum --quiet -c "$scratch/control/md5sums") && ok "md5sums match the files" ||
  fail "md5sums do not match the files"

scripts=$(cd "$scratch/control" && ls | grep -Ev '^(control|md5sums|conffiles|shlibs|triggers)$' || true)
echo "maintainer scripts: ${scripts:-none}"
for script in $scripts; do
  grep -Eq 'systemctl|deb-systemd-(helper|invoke)|invoke-rc\.d|/etc/xdg/autostart' "$scratch/control/$script" &&
    fail "$script enables or starts something: $(cat "$scratch/control/$script")"
done
# The one file in /etc is the port setting, a conffile with every line a
# comment: installed, it chooses nothing.
[[ -z $(find "$scratch/tree" -path '*.wants/*' -o -path '*/etc/*' ! -path '*/etc/quorvane.conf' | head -1) ]] &&
  ok "nothing enabled by the package" || fail "the package ships an enabling link or a file in /etc"
setting=$scratch/tree/etc/quorvane.conf
if [[ -f $setting ]]; then
  grep -qx /etc/quorvane.conf "$scratch/control/conffiles" && ok "/etc/quorvane.conf is a conffile" ||
    fail "/etc/quorvane.conf is not listed in conffiles"
  [[ -z $(grep -Ev '^[[:space:]]*(#|$)' "$setting") ]] && ok "/etc/quorvane.conf sets nothing" ||
    fail "/etc/quorvane.conf sets something: $(grep -Ev '^[[:space:]]*(#|$)' "$setting")"
fi
finish
