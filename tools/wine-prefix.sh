# Sourced: gives this run its own throwaway Wine prefix inside the build tree and stops
# that prefix's wineserver, and with it every process it ran, when the caller exits.
prefix_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/x86_64"
export WINEPREFIX="$prefix_root/wineprefix-$$"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver
rm -rf "$WINEPREFIX"
stop_wine_prefix() {
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}
trap stop_wine_prefix EXIT

# Creates the prefix. Xvfb has no window manager: Wine then manages its windows itself,
# instead of waiting for one to take every closed window away.
boot_wine_prefix() {
    "$WINELOADER" wineboot -i >/dev/null 2>&1
    "$WINELOADER" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINESERVER" -w
}
