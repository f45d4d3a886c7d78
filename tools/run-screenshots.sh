#!/bin/bash
# Photographs the windows a user is most likely to meet, as Wine draws them, into FOLDER
# (default docs). Expects a display; see screenshots.sh. Usage: run-screenshots.sh [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
shots="${1:-docs}"
source tools/wine-prefix.sh
source tools/wine-scene.sh

# $1: pattern of a window title. Waits up to 60 s for such a window and prints its id.
wait_for_window() {
    local window="" deadline=$((SECONDS + 60))
    until [ -n "$window" ] || [ $SECONDS -ge $deadline ]; do
        window="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)" || sleep 0.1
    done
    [ -n "$window" ] || { echo "no window titled $1" >&2; exit 1; }
    echo "$window"
}

# $1: pattern of the window title, $2: picture. Waits for the window, photographs it once
# two pictures in a row agree (Wine has finished painting), ends the scene.
capture() {
    local window picture="$shots/$2" deadline=$((SECONDS + 60))
    window="$(wait_for_window "$1")"
    import -window "$window" "$picture"
    until import -window "$window" "png:$picture.next" && cmp -s "$picture" "$picture.next" ||
          [ $SECONDS -ge $deadline ]; do
        mv "$picture.next" "$picture"
        sleep 0.2
    done
    rm -f "$picture.next"
    echo "$picture: $(xdotool getwindowname "$window")"
    "$WINESERVER" -k || true
    "$WINESERVER" -w || true
}

mkdir -p "$shots"
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
