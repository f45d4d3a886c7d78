#!/bin/bash
# Checks a shipped executable's PE header and imports: PE32 for i386, console subsystem,
# DYNAMICBASE and NXCOMPAT, and DLLs only from those every Windows has (VERSION.dll and
# the shell's special-folder function are loaded at run time, never imported).
# Usage: check-pe.sh OBJDUMP EXE...
set -u
objdump=$1
shift
failed=0
fail() { echo "FAIL $exe: $*"; failed=1; }
for exe in "$@"; do
    header="$("$objdump" -p "$exe")" || { fail "objdump could not read it"; continue; }
    grep -q "file format pei-i386" <<<"$header" || fail "not a PE for i386"
    grep -qE "^Magic[[:space:]]+010b" <<<"$header" || fail "not PE32"
    grep -qE "^Subsystem[[:space:]]+00000003" <<<"$header" || fail "not the console subsystem"
    grep -qw DYNAMIC_BASE <<<"$header" || fail "DYNAMICBASE not set"
    grep -qw NX_COMPAT <<<"$header" || fail "NXCOMPAT not set"
    while read -r dll; do
        case "${dll^^}" in
            KERNEL32.DLL|USER32.DLL|ADVAPI32.DLL|SHELL32.DLL|COMDLG32.DLL|MSVCRT.DLL) ;;
            *) fail "imports $dll" ;;
        esac
    done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$header")
    grep -q "SHGetSpecialFolderPath" <<<"$header" && fail "imports SHGetSpecialFolderPathA"
    [ "$failed" = 0 ] && echo "ok $exe"
done
exit $failed
