#!/bin/bash
# Checks a shipped executable's PE header and imports: PE32 for i386, console subsystem,
# DYNAMICBASE and NXCOMPAT. At start it may import from KERNEL32, ADVAPI32 and msvcrt and
# nothing else; USER32 comes only delay-loaded, with exactly the functions of
# cmake/user32-delay.def, each slot pointing at its loading stub. Everything else it needs
# (SHELL32, COMDLG32, VERSION) is loaded at run time from Windows' own folder.
# Usage: check-pe.sh OBJDUMP EXE...
set -u
tools="$(cd "$(dirname "$0")" && pwd)"
objdump=$1
shift
expected_delayed="USER32.dll (delayed): $(sed -n 's/^\([A-Za-z]*\)@[0-9]*$/\1/p' "$tools/../cmake/user32-delay.def" |
                                          LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')"
status=0
for exe in "$@"; do
    failed=0
    fail() { echo "FAIL $exe: $*"; failed=1; }
    header="$("$objdump" -p "$exe")" || { fail "objdump could not read it"; status=1; continue; }
    grep -q "file format pei-i386" <<<"$header" || fail "not a PE for i386"
    grep -qE "^Magic[[:space:]]+010b" <<<"$header" || fail "not PE32"
    grep -qE "^Subsystem[[:space:]]+00000003" <<<"$header" || fail "not the console subsystem"
    grep -qw DYNAMIC_BASE <<<"$header" || fail "DYNAMICBASE not set"
    grep -qw NX_COMPAT <<<"$header" || fail "NXCOMPAT not set"
    imports="$(python3 "$tools/pe_imports.py" "$exe")" || fail "its imports cannot be trusted (above)"
    while IFS= read -r line; do
        case "$line" in
            "ADVAPI32.dll: "*|"KERNEL32.dll: "*|"msvcrt.dll: "*) ;;
            "USER32.dll (delayed): "*)
                [ "$line" = "$expected_delayed" ] ||
                    fail "delay-loads from USER32 other than cmake/user32-delay.def lists: ${line#*: }" ;;
            *) fail "imports ${line%%:*}" ;;
        esac
    done <<<"$imports"
    for dll in ADVAPI32.dll KERNEL32.dll msvcrt.dll "USER32.dll (delayed)"; do
        grep -q "^$dll: " <<<"$imports" || fail "no $dll import table"
    done
    [ "$failed" = 0 ] && echo "ok $exe" || status=1
done
exit $status
