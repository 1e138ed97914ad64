#!/usr/bin/env bash
# The committed icon files, the Linux window's XPMs and the Windows
# program's .ico, are what the one generator draws now: neither drawing can
# drift from the other, nor from the generator.
#
# usage: check_icon_files.sh PYTHON SOURCE_DIR SCRATCH_DIR
set -eu
python=$1
source_dir=$2
scratch=$3
rm -rf "$scratch"
mkdir -p "$scratch"
"$python" "$source_dir/resources/icon/make_icon.py" "$scratch" "$scratch"
status=0
for file in measuring_screen_32.xpm measuring_screen_16.xpm measuring_screen.ico; do
  if cmp -s "$scratch/$file" "$source_dir/resources/icon/$file"; then
    echo "ok: resources/icon/$file"
  else
    echo "FAIL: resources/icon/$file is not what resources/icon/make_icon.py draws (run it to remake the files)"
    status=1
  fi
done
exit $status
