#!/usr/bin/env bash
# The silent installer's /PORT= under Wine: one that names no port's base
# (0x37b, not a multiple of 4) refuses the install with exit status 2, as
# the installer's other refusals do, with nothing installed and no setting
# written. /PORT=0x278 installs and writes HKLM\SOFTWARE\Quorvane\PortBase
# as the text 0x278, which the program reads; a silent install without
# /PORT= keeps it, and the uninstaller removes it. quorvane-porttest.exe,
# which the installer runs for the ports it offers, is installed beside the
# program. (The page itself, which lists the ports Windows knows, lists
# none under Wine.) Whatever the test leaves, the value goes when it ends.
# Runs inside with_wine.sh; PACKAGES names the installer's folder,
# RUN_FOLDER a folder of this test's own.
source "$(dirname "$0")/../../windows/wine_run.sh"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
installer=$(ls "$PACKAGES"/*.exe)
program_folder=$WINEPREFIX/drive_c/Program\ Files/Quorvane
setting=('HKLM\SOFTWARE\Quorvane' /v PortBase)
reg_wine() { timeout "$(limit 60)" "$WINE" reg "$@" 2>/dev/null | tr -d '\r'; }
forget_setting() { reg_wine delete "${setting[@]}" /f >/dev/null; }
# The value's type and text, or nothing when there is none.
setting_now() { reg_wine query "${setting[@]}" | awk '$1 == "PortBase" {print $2, $3}'; }
install() {
  timeout "$(limit 120)" "$WINE" "$installer" /S "$@"
  status=$?
}
trap forget_setting EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

forget_setting
rm -rf "$program_folder" "$RUN_FOLDER"
mkdir -p "$RUN_FOLDER"

echo "installing with /PORT=0x37b"
install /PORT=0x37b
expect_equal "installer's exit status with /PORT=0x37b" "$status" 2
[[ -e $program_folder/Quorvane.exe ]] && fail "installed although /PORT= names no port's base"
expect_equal "the setting after a refused /PORT=" "$(setting_now)" ""

echo "installing with /PORT=0x278"
install /PORT=0x278
expect_equal "installer's exit status with /PORT=0x278" "$status" 0
expect_equal "the setting" "$(setting_now)" "REG_SZ 0x278"
[[ -f $program_folder/quorvane-porttest.exe ]] || fail "quorvane-porttest.exe is not installed"

echo "installing again without /PORT="
install
expect_equal "installer's exit status without /PORT=" "$status" 0
expect_equal "the setting kept" "$(setting_now)" "REG_SZ 0x278"

# In place, as install_test.sh runs it (a batch file gives the path).
printf '@"%s\\Uninstall.exe" /S _?=%s\r\n' 'C:\Program Files\Quorvane' 'C:\Program Files\Quorvane' \
  >"$RUN_FOLDER/uninstall.bat"
timeout "$(limit 120)" "$WINE" cmd /c "Z:${RUN_FOLDER//\//\\}\\uninstall.bat"
expect_equal "uninstaller's exit status" "$?" 0
expect_equal "the setting after uninstalling" "$(setting_now)" ""
rm -rf "$program_folder"
finish
