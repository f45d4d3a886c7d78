#!/bin/bash
# Shows the uninstaller at work in a throwaway Wine prefix: a stand-in Excel 16 handles
# ".xls", the add-in's files lie in its add-in folder, and the uninstaller removes them.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/x86_64
source tools/wine-prefix.sh
wine() { "$WINELOADER" "$@" </dev/null 2>/dev/null; }
unix_path() { "$WINELOADER" winepath -u "$1" 2>/dev/null; }

echo "== Preparing a Wine prefix"
wine wineboot -i >/dev/null
"$WINESERVER" -w

office='C:\Program Files\Microsoft Office\Office16'
mkdir -p "$(unix_path "$office")"
cp "$build/stand-in-excel16.exe" "$(unix_path "$office\\EXCEL.EXE")"
wine reg add 'HKCR\.xls' /ve /d KavorDemo.Sheet /f >/dev/null
wine reg add 'HKCR\KavorDemo.Sheet\shell\open\command' /ve /d "\"$office\\EXCEL.EXE\" \"%1\"" /f >/dev/null
echo "Stand-in Excel 16 registered for .xls: $office\\EXCEL.EXE"

shipment='C:\Kavor Setup'
shipment_unix="$(unix_path "$shipment")"
mkdir -p "$shipment_unix"
cp "$build/addin-uninstall.exe" "$shipment_unix/"
echo "removal workbook" > "$shipment_unix/DEL_ADDIN.XLS"

appdata="$(wine cmd /c echo %APPDATA% | tr -d '\r')"
addins="$appdata\\Microsoft\\AddIns"
addins_unix="$(unix_path "$addins")"
mkdir -p "$addins_unix"
for file in kavorlib.dll kavorlib.xla kavor.hlp; do echo "placeholder $file" > "$addins_unix/$file"; done
echo "unrelated add-in" > "$addins_unix/other.xla"

show_folder() { echo "-- $addins"; ls -l "$addins_unix" | sed 1d | awk '{print "   " $5 "\t" $9}'; }

echo
echo "== Before the uninstaller"
show_folder
echo
echo "== Running $shipment\\addin-uninstall.exe"
wine "$shipment\\addin-uninstall.exe" || true
# The shell starts Excel on its own; wait for it to record what it opened.
for _ in $(seq 100); do [ -s "$(unix_path "$office")/opened.txt" ] && break; sleep 0.1; done
echo
echo "== After the uninstaller"
show_folder
echo
echo "== What the shell asked Excel to open"
sed 's/^/   /' "$(unix_path "$office")/opened.txt" 2>/dev/null || echo "   (nothing)"
