#!/usr/bin/env bash
# The ZIP as a user unpacks it: one folder named as the ZIP holding
# Quorvane.exe, quorvane-porttest.exe and README.txt, and the bench folder
# with the simulated inpout32.dll and quorvane-simport.exe, away from the
# program; nothing else
# (no inpout32.dll beside the program). The README has Windows line ends and
# says where inpout32.dll goes, that the ZIP is unpacked where only
# administrators may write, and how the program starts at logon; the
# packed (stripped) program still passes the checks of the built one.
#
# usage: check_zip.sh PACKAGES_DIR
#   (PYTHON: Python 3, which reads the ZIP; RUN_FOLDER: a folder of its own)
source "$(dirname "$0")/../../windows/wine_run.sh"
windows_tests=$(cd "$(dirname "$0")/../../windows" && pwd)
zip=$(ls "$1"/*.zip)
top=$(basename "$zip" .zip)
listing=$("$PYTHON" -c 'import sys, zipfile; print("\n".join(zipfile.ZipFile(sys.argv[1]).namelist()))' "$zip" |
  grep -v '/$' | sort)
echo "$listing"
expected=$(printf '%s\n' "$top/Quorvane.exe" "$top/README.txt" "$top/quorvane-porttest.exe" \
  "$top/bench/inpout32.dll" "$top/bench/quorvane-simport.exe" | sort)
expect_equal "the ZIP's files" "$listing" "$expected"

rm -rf "$RUN_FOLDER"
mkdir -p "$RUN_FOLDER"
"$PYTHON" -m zipfile -e "$zip" "$RUN_FOLDER"
unpacked=$RUN_FOLDER/$top

readme=$(cat "$unpacked/README.txt"; echo .)
readme=${readme%.}
[[ $readme == *$'\r\n' ]] || fail "README.txt does not end with CR LF"
expect_equal "README.txt lines without CR before LF" "$(grep -c $'[^\r]$' "$unpacked/README.txt")" 0
[[ $readme == *@* ]] && fail "README.txt has a name left unreplaced: $(grep -m1 @ <<<"$readme")"
for said in "inpout32.dll" "beside it" "shell:startup" '"Start in"' "Run registry key" \
  'C:\ProgramData\Quorvane' '%LOCALAPPDATA%' 'C:\Program Files\Quorvane' 'C:\Program Files (x86)\Quorvane' \
  "AutoAdminLogon" 'bench\inpout32.dll' "Unpack it where only administrators may write"; do
  [[ $readme == *"$said"* ]] || fail "README.txt does not say $said"
done

"$windows_tests/check_program.sh" "$unpacked/Quorvane.exe" || fail "the packed Quorvane.exe"
for file in bench/inpout32.dll bench/quorvane-simport.exe; do
  i686-w64-mingw32-objdump -f "$unpacked/$file" | grep -q '^architecture: i386' ||
    fail "$file is not a 32-bit Windows file"
done
finish
