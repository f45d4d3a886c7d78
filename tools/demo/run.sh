#!/bin/bash
# The demo's run under Wine (the shipped 32-bit programs with KAVOR_STAGE=32, see
# tools/wine/prefix.sh): a stand-in Excel 16 handles ".xls"; the installer fills its add-in
# folder and the uninstaller empties it again; then the windows a user may meet are
# photographed into FOLDER. Expects a display (tools/wine/display.sh gives one).
# Usage: run.sh FOLDER
set -euo pipefail
cd "$(dirname "$0")/../.."
pictures=$1
source tools/wine/prefix.sh
source tools/wine/scene.sh

echo "== Preparing a Wine prefix"
start_prefix
# Wine draws the caption buttons in Marlett and the dialog in MS Sans Serif only when the
# prefix's Fonts folder holds them; Debian's fonts-wine leaves them in Wine's data folder.
# Only the pictures need them: every program that draws would load them at its start.
cp /usr/share/wine/fonts/*.ttf "$(unix_path 'C:\windows\Fonts')/"
register_stand_in_excel 16
echo "Stand-in Excel 16 registered for .xls: $office\\EXCEL.EXE"
lay_shipment
echo "Shipment folder: $shipment, with the programs of $programs:"
(cd "$programs" && sha256sum "$installer" "$uninstaller" | sed 's/^/   sha256 /')
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
    echo "-- What the shell asked Excel to open, and how it is to show (1: SW_SHOWNORMAL)"
    wait_for_opened "$1" | sed 's/^/   /' || echo "   (not all of it)"
}

echo
echo "== Before the installer"
show_folder
echo
echo "== Running $shipment\\$installer"
run_quietly "$shipment\\$installer" || true
show_folder
show_opened 1

echo "unrelated add-in" > "$addins_unix/other.xla"
echo
echo "== Running $shipment\\$uninstaller (another add-in lies beside ours)"
run_quietly "$shipment\\$uninstaller" || true
show_folder
show_opened 2

# How long a window may take to appear: each scene starts a new Wine session, which under
# emulation on a busy machine was seen to take over a minute.
window_deadline=300

# $1: pattern of a window title. Waits for such a window and prints its id.
wait_for_window() {
    local window="" deadline=$((SECONDS + window_deadline))
    until [ -n "$window" ] || [ $SECONDS -ge $deadline ]; do
        window="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" || sleep 0.1
    done
    [ -n "$window" ] || { echo "no window titled $1" >&2; exit 1; }
    echo "$window"
}

# $1: window, $2: file, $3: pattern of its title, $4: picture. A window that cannot be
# photographed (closed, or no longer shown) ends the demo, saying which and import's reason.
photograph() {
    local error status=0
    # Given a window that is gone, import says so and then waits for a click on another.
    error=$(timeout 30 import -window "$1" "png:$2" 2>&1) || status=$?
    [ $status != 0 ] || return 0
    echo "The window titled \"$3\" could not be photographed for $4:" >&2
    echo "$error" | sed 's/^/   /' >&2
    [ $status != 124 ] || echo "   (import still waited after 30 s)" >&2
    exit 1
}

# $1: pattern of the window title, $2: picture. Waits for the window, photographs it once
# two pictures in a row agree (Wine has finished painting), ends the scene.
capture() {
    local window picture="$pictures/$2" deadline=$((SECONDS + window_deadline))
    window="$(wait_for_window "$1")"
    photograph "$window" "$picture" "$1" "$2"
    until photograph "$window" "$picture.next" "$1" "$2" && cmp -s "$picture" "$picture.next" ||
          [ $SECONDS -ge $deadline ]; do
        mv "$picture.next" "$picture"
        sleep 0.2
    done
    rm -f "$picture.next"
    echo "$picture: $(xdotool getwindowname "$window")"
    "$WINESERVER" -k || true
    "$WINESERVER" -w || true
}

echo
echo "== The windows a user may meet"
mkdir -p "$pictures"
"$WINELOADER" "$office\\EXCEL.EXE" --window KavorDemo "Microsoft Excel - Book1" </dev/null &>/dev/null &
wait_for_window "^Microsoft Excel - Book1$" >/dev/null
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" running-excel.png

empty_association
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^Where is Excel\\?$" where-is-excel.png

register_stand_in_excel -noversion
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" version-question.png

empty_association
"$WINELOADER" "$shipment\\$uninstaller" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" manual-removal.png

# Excel is 64-bit and the package's library 32-bit: a real program and library of those
# kinds, built by the tests.
register_stand_in_excel 16
cp "$build/machines/program-x86_64.exe" "$office_unix/EXCEL.EXE"
cp "$build/machines/library-i686.dll" "$shipment_unix/$(product_fact ADDIN_LIBRARY)"
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" library-mismatch.png

# Excel still holds the add-in's files, as it does while the add-in is loaded: the
# uninstaller names those left and waits for the user to close Excel.
register_stand_in_excel 16
for file in $(addin_files); do cp "$shipment_unix/$file" "$addins_unix/"; done
"$WINELOADER" "$office\\EXCEL.EXE" --window KavorDemo "Book1 - Excel" --hold "$addins\\$(product_fact ADDIN_LIBRARY)" \
    "$addins\\$(product_fact ADDIN_WORKBOOK)" </dev/null &>/dev/null &
wait_for_window "^Book1 - Excel$" >/dev/null
"$WINELOADER" "$shipment\\$uninstaller" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" files-in-use.png

# Excel's window has just closed, but its process still holds the add-in's files for a
# moment: the installer names them and waits for the user before it changes anything.
"$WINELOADER" "$office\\EXCEL.EXE" --window KavorDemo "Closing Excel" --hold "$addins\\$(product_fact ADDIN_LIBRARY)" \
    "$addins\\$(product_fact ADDIN_WORKBOOK)" </dev/null &>/dev/null &
wait_for_window "^Closing Excel$" >/dev/null
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" files-held.png

# The package was downloaded with a browser and extracted by Explorer, which marks every
# file it extracts with the mark of the web (under Wine, the stream is a file of its name
# beside it).
for file in $(shipped_files); do
    printf '[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=https://example.com/kavor-addin-setup.zip\r\n' \
        > "$shipment_unix/$file:Zone.Identifier"
done
"$WINELOADER" "$shipment\\$installer" </dev/null &>/dev/null &
capture "^$(product_fact SETUP_CAPTION)$" downloaded-package.png
