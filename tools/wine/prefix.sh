# Sourced: gives this run its own throwaway Wine prefix and stops that prefix's wineserver,
# and with it every process it ran, when the caller exits. KAVOR_STAGE=32 (given by
# tools/wine/run32.sh) takes 32-bit Wine, the shipped programs of build/i686 and the 32-bit
# test tree; otherwise wine64 and the x86-64 build. The prefix lies in the test tree, or
# under KAVOR_PREFIX_ROOT: on an ext4 disk either way, where Wine keeps the hidden and
# system attributes.
project_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export WINEDEBUG=-all
# No add-on prompts, and a crashing program ends instead of waiting in the debugger.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINESERVER=/usr/lib/wine/wineserver
if [ "${KAVOR_STAGE:-64}" = 32 ]; then
    build=build/i686-tests
    programs=build/i686
    export WINEARCH=win32
    export WINELOADER=/usr/lib/wine/wine
else
    build=build/x86_64
    programs=build/x86_64
    export WINEARCH=win64
    export WINELOADER=/usr/lib/wine/wine64
fi
export WINEPREFIX="${KAVOR_PREFIX_ROOT:-$project_root/$build}/wineprefix-$$"
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
    # N:, a folder of the prefix that Wine reports as a network drive, whose zone Wine's
    # urlmon gives as the Internet's: it stands in for a share that Windows counts so (named
    # by its address or a dotted name), which no test can have. Read when the session starts.
    mkdir -p "$WINEPREFIX/network-share"
    ln -s ../network-share "$WINEPREFIX/dosdevices/n:"
    "$WINELOADER" reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f >/dev/null 2>&1
    "$WINESERVER" -w
}

# Keeps one Wine program running until the caller exits, and with it one Wine session: a
# persistent wineserver (-p) was seen ending between two programs all the same, and each
# program after that paid for a new session (wineboot, services) at its start. Returns
# only once the session's background services run: whichever program starts them, they
# keep its output open for as long as they run, so that must be no output anyone waits on
# (CTest waits for each test's output to close, a caller's $( ) for its pipe).
keep_wine_session() {
    local fifo="$WINEPREFIX.session"
    mkfifo "$fifo"
    "$WINELOADER" cmd <"$fifo" >/dev/null 2>&1 &
    exec 8>"$fifo"
    rm -f "$fifo"
    # A program of the session, waited for: it starts only once the services are up.
    "$WINELOADER" cmd /c exit </dev/null >/dev/null 2>&1
}
