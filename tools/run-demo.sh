#!/bin/bash
# Shows both programs at work in a throwaway Wine prefix (the shipped 32-bit ones with
# KAVOR_STAGE=32, see wine-prefix.sh): a stand-in Excel 16 handles
# ".xls"; the installer fills its add-in folder and the uninstaller empties it again.
set -euo pipefail
cd "$(dirname "$0")/.."
source tools/wine-prefix.sh
source tools/wine-scene.sh

echo "== Preparing a Wine prefix"
start_prefix
register_stand_in_excel 16
echo "Stand-in Excel 16 registered for .xls: $office\\EXCEL.EXE"
lay_shipment
echo "Shipment folder: $shipment, with the programs of $programs:"
(cd "$programs" && sha256sum addin-install.exe addin-uninstall.exe | sed 's/^/   sha256 /')
ls "$shipment_unix" | sed 's/^/   /'

addins="$(appdata)\\Microsoft\\AddIns"
addins_unix="$(unix_path "$addins")"
show_folder() {
    echo "-- $addins"
    if [ -d "$addins_unix" ]; then
        ls -l "$addins_unix" | sed 1d | awk '{print "   " $5 "\t" $9}'
    else
        echo "   (no such folder)"
    fi
}
show_opened() {
    echo "-- What the shell asked Excel to open"
    wait_for_opened "$1"
    sed 's/^/   /' "$opened_unix" 2>/dev/null || echo "   (nothing)"
}

echo
echo "== Before the installer"
show_folder
echo
echo "== Running $shipment\\addin-install.exe"
wine "$shipment\\addin-install.exe" || true
show_folder
show_opened 1

echo "unrelated add-in" > "$addins_unix/other.xla"
echo
echo "== Running $shipment\\addin-uninstall.exe (another add-in lies beside ours)"
wine "$shipment\\addin-uninstall.exe" || true
show_folder
show_opened 2
