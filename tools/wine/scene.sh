# Sourced after prefix.sh by the demo and the benchmark: the scene both show, a stand-in
# Excel registered for ".xls" and a shipment folder with both programs and the five files
# that ship beside them.
source product/facts.sh
# A Windows program of the scene, quietly: no input, no error output.
run_quietly() { "$WINELOADER" "$@" </dev/null 2>/dev/null; }
unix_path() { "$WINELOADER" winepath -u "$1" 2>/dev/null; }
appdata() { run_quietly cmd /c echo %APPDATA% | tr -d '\r'; }

installer=$(product_fact INSTALLER_PROGRAM)
uninstaller=$(product_fact UNINSTALLER_PROGRAM)
office='C:\Program Files\Microsoft Office\Office16'
shipment='C:\Kavor Setup'

# The prefix, with one Wine session kept for the whole job (prefix.sh).
start_prefix() {
    boot_wine_prefix
    keep_wine_session
    office_unix="$(unix_path "$office")"
    shipment_unix="$(unix_path "$shipment")"
}

# $1: the version resource's major version, or "-noversion". The stand-in registers itself.
register_stand_in_excel() {
    mkdir -p "$office_unix"
    cp "$build/stand-in-excel$1.exe" "$office_unix/EXCEL.EXE"
    run_quietly "$office\\EXCEL.EXE" --register
}

# Waits up to 60 s until the stand-in Excel has recorded $1 workbooks in all (the shell
# starts it on its own), and prints its record: a line a workbook, with the show state.
wait_for_opened() { run_quietly "$office\\EXCEL.EXE" --wait-opened "$1" | tr -d '\r'; }

empty_association() { run_quietly reg add 'HKCR\.xls' /ve /d "" /f >/dev/null; }

lay_shipment() {
    mkdir -p "$shipment_unix"
    cp "$programs/$installer" "$programs/$uninstaller" "$shipment_unix/"
    local name
    name=$(product_fact ADDIN_DISPLAY_NAME)
    for file in $(shipped_files); do echo "$name $file" > "$shipment_unix/$file"; done
}
