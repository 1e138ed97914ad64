#!/usr/bin/env bash
# Fetches the kernel (once per build folder) and makes the guest's initramfs.
# Sourced by run_guest_test.sh; each function ends the test with status 77
# and one line of reason where a piece is missing.

skip() {
  echo "SKIP: $*"
  exit 77
}

# The kernel package the archive's linux-image-amd64 points at, fetched with
# apt-get download and unpacked (not installed) under $1; sets kernel_root.
# A kernel unpacked by an earlier run is used again; without the archive,
# the last one unpacked will do.
fetch_kernel() {
  local cache=$1 package why
  mkdir -p "$cache"
  package=$(apt-cache depends linux-image-amd64 2> /dev/null |
    sed -n 's/^ *Depends: \(linux-image-[0-9][^ ]*-amd64\)$/\1/p' | head -n 1)
  if [[ -n $package && -f $cache/$package/unpacked ]]; then
    kernel_root=$cache/$package
    return
  fi
  if [[ -n $package ]]; then
    local download=$cache/download.$$
    rm -rf "$download" && mkdir -p "$download"
    if (cd "$download" && timeout 300 apt-get download -q "$package" > log 2>&1) &&
      dpkg-deb -x "$download"/*.deb "$download/root"; then
      rm -rf "${cache:?}/$package"
      mv "$download/root" "$cache/$package"
      touch "$cache/$package/unpacked"
      rm -rf "$download"
      kernel_root=$cache/$package
      return
    fi
    why="apt-get download $package failed: $(tail -n 1 "$download/log" 2> /dev/null)"
    rm -rf "$download"
  else
    why="the package lists name no kernel package for linux-image-amd64 (apt-get update?)"
  fi
  local earlier
  earlier=$(ls -d "$cache"/linux-image-*/unpacked 2> /dev/null | tail -n 1)
  [[ -n $earlier ]] || skip "no kernel: $why"
  kernel_root=$(dirname "$earlier")
}

# The kernel image and the three driver modules of the unpacked package;
# sets kernel_image and module_files (.ko, .ko.xz or .ko.zst).
find_kernel_parts() {
  kernel_image=$(ls "$kernel_root"/boot/vmlinuz-* 2> /dev/null | head -n 1)
  [[ -n $kernel_image ]] || skip "the kernel package holds no /boot/vmlinuz-*"
  module_files=()
  local name file
  for name in parport parport_pc ppdev; do
    file=$(find "$kernel_root/lib/modules" -name "$name.ko*" | head -n 1)
    [[ -n $file ]] || skip "the kernel package holds no $name module"
    module_files+=("$file")
  done
}

# Copies a program or library into the guest tree at $1, with every shared
# library ldd names for it and the dynamic loader, each at its own path.
copy_with_libraries() {
  local root=$1 file=$2 target=$3 library
  install -D -m 0755 "$file" "$root$target"
  for library in $(ldd "$file" | grep -o '/[^ ]*'); do
    [[ -e $root$library ]] || install -D -m 0755 "$(readlink -f "$library")" "$root$library"
  done
}

# make_initramfs OUTPUT WORK PROGRAM LIBRARY CLAIMER INIT
make_initramfs() {
  local output=$1 root=$2/root program=$3 library=$4 claimer=$5 init=$6
  local busybox
  busybox=$(command -v busybox) || skip "no busybox (install busybox-static)"
  ldd "$busybox" > /dev/null 2>&1 && skip "$busybox is not the static one (install busybox-static)"

  rm -rf "$root"
  mkdir -p "$root"/{bin,dev,proc,sys,tmp,home,etc,lib/modules/parport}
  install -m 0755 "$busybox" "$root/bin/busybox"
  local applet
  for applet in $("$busybox" --list); do
    [[ -e $root/bin/$applet ]] || ln -s busybox "$root/bin/$applet"
  done
  install -m 0755 "$init" "$root/init"
  install -m 0755 "$claimer" "$root/bin/port-claimer"
  copy_with_libraries "$root" "$program" /opt/quorvane/bin/quorvane-console
  copy_with_libraries "$root" "$library" /opt/quorvane/lib/libinpout32.so
  if [[ -n ${porttest_program:-} ]]; then
    copy_with_libraries "$root" "$porttest_program" /opt/quorvane/bin/quorvane-porttest
  fi

  local file name
  for file in "${module_files[@]}"; do
    name=$(basename "$file")
    case $name in
      *.ko) cp "$file" "$root/lib/modules/parport/$name" ;;
      *.ko.xz) xz -dc "$file" > "$root/lib/modules/parport/${name%.xz}" ;;
      *.ko.zst) zstd -dqc "$file" > "$root/lib/modules/parport/${name%.zst}" ;;
      *) skip "unknown module format: $name" ;;
    esac
  done

  # quorvane is in lp, as the users of a port must be; outsider is not.
  cat > "$root/etc/passwd" << 'EOF'
root:x:0:0:root:/root:/bin/sh
quorvane:x:1000:1000:in group lp:/home/quorvane:/bin/sh
outsider:x:1001:1001:not in group lp:/home/outsider:/bin/sh
EOF
  cat > "$root/etc/group" << 'EOF'
root:x:0:
lp:x:7:quorvane
quorvane:x:1000:
outsider:x:1001:
EOF
  mkdir -p "$root/home/quorvane" "$root/home/outsider"
  (cd "$root" && find . | "$busybox" cpio -o -H newc 2> /dev/null) > "$output"
}

# Everything a boot needs, or a skip with its reason: QEMU and Debian's
# tools present, the kernel fetched and found, WORK made, and the guest's
# initramfs in it, holding PROGRAM, LIBRARY and CLAIMER.
#   prepare_guest KERNEL_CACHE WORK PROGRAM LIBRARY CLAIMER
prepare_guest() {
  command -v qemu-system-x86_64 > /dev/null || skip "no qemu-system-x86_64 (install qemu-system-x86)"
  command -v apt-cache > /dev/null && command -v dpkg-deb > /dev/null || skip "no apt-cache or dpkg-deb: not a Debian system"
  fetch_kernel "$1"
  find_kernel_parts
  mkdir -p "$2"
  make_initramfs "$2/initramfs.cpio" "$2" "$3" "$4" "$5" "$(dirname "${BASH_SOURCE[0]}")/guest_init.sh"
}
