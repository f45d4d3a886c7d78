# Sourced after wine-prefix.sh: lays out the scenes the demo and the screenshots show, a
# stand-in Excel registered for ".xls" and a shipment folder with both programs.
wine() { "$WINELOADER" "$@" </dev/null 2>/dev/null; }
unix_path() { "$WINELOADER" winepath -u "$1" 2>/dev/null; }
appdata() { wine cmd /c echo %APPDATA% | tr -d '\r'; }

office='C:\Program Files\Microsoft Office\Office16'
shipment='C:\Kavor Setup'

start_prefix() {
    boot_wine_prefix
    office_unix="$(unix_path "$office")"
    shipment_unix="$(unix_path "$shipment")"
    opened_unix="$office_unix/opened.txt"
}

# $1: the version resource's major version, or "noversion".
register_stand_in_excel() {
    mkdir -p "$office_unix"
    cp "$build/stand-in-excel$1.exe" "$office_unix/EXCEL.EXE"
    wine reg add 'HKCR\.xls' /ve /d KavorDemo.Sheet /f >/dev/null
    wine reg add 'HKCR\KavorDemo.Sheet\shell\open\command' /ve /d "\"$office\\EXCEL.EXE\" \"%1\"" /f >/dev/null
    # Excel's association asks for DDE as well; the stand-in does not answer, so the shell
    # starts the command above.
    wine reg add 'HKCR\KavorDemo.Sheet\shell\open\ddeexec' /ve /d '[open("%1")]' /f >/dev/null
    wine reg add 'HKCR\KavorDemo.Sheet\shell\open\ddeexec\application' /ve /d Excel /f >/dev/null
    wine reg add 'HKCR\KavorDemo.Sheet\shell\open\ddeexec\topic' /ve /d system /f >/dev/null
}

# Waits up to 60 s until the stand-in Excel has recorded $1 workbooks in all: the shell
# starts it on its own.
wait_for_opened() {
    local deadline=$((SECONDS + 60))
    until [ "$(cat "$opened_unix" 2>/dev/null | wc -l)" -ge "$1" ] || [ $SECONDS -ge $deadline ]; do
        sleep 0.05
    done
}

empty_association() { wine reg add 'HKCR\.xls' /ve /d "" /f >/dev/null; }

lay_shipment() {
    mkdir -p "$shipment_unix"
    cp "$programs/addin-install.exe" "$programs/addin-uninstall.exe" "$shipment_unix/"
    for file in kavorlib.dll kavorlib.xla kavor.hlp; do echo "Kavor Interface $file" > "$shipment_unix/$file"; done
    echo "setup workbook" > "$shipment_unix/addinsetup.xls"
    echo "removal workbook" > "$shipment_unix/DEL_ADDIN.XLS"
}
