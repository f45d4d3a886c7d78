#!/bin/bash
# Expects a display; see screenshots.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/x86_64
source tools/wine-prefix.sh
source tools/wine-scene.sh

# $1: pattern of a window title. Waits up to 30 s for such a window and prints its id.
wait_for_window() {
    local window=""
    for _ in $(seq 300); do
        window="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || { echo "no window titled $1" >&2; exit 1; }
    echo "$window"
}

# $1: pattern of the window title, $2: picture. Waits for the window, photographs it, ends the scene.
capture() {
    local window
    window="$(wait_for_window "$1")"
    sleep 1 # let Wine finish painting
    import -window "$window" "docs/$2"
    echo "docs/$2"
    "$WINESERVER" -k || true
    "$WINESERVER" -w || true
}

start_prefix
lay_shipment
register_stand_in_excel 16
"$WINELOADER" "$office\\EXCEL.EXE" --window KavorDemo "Microsoft Excel - Book1" </dev/null &>/dev/null &
wait_for_window "^Microsoft Excel - Book1$" >/dev/null
"$WINELOADER" "$shipment\\addin-install.exe" </dev/null &>/dev/null &
capture "^Kavor Interface Add-In Setup$" running-excel.png

empty_association
"$WINELOADER" "$shipment\\addin-install.exe" </dev/null &>/dev/null &
capture "^Where is Excel\\?$" where-is-excel.png

register_stand_in_excel -noversion
"$WINELOADER" "$shipment\\addin-install.exe" </dev/null &>/dev/null &
capture "^Kavor Interface Add-In Setup$" version-question.png

empty_association
"$WINELOADER" "$shipment\\addin-uninstall.exe" </dev/null &>/dev/null &
capture "^Kavor Interface Add-In Setup$" manual-removal.png
