#!/bin/bash
# The package command as a vendor uses it, on synthetic add-in files: good ones pack the
# same twice and verify, unsigned and signed; bad ones are refused; and --verify refuses
# every spoilt zip, each for its own reason.
# Usage: check-package.sh SHIPPED_FOLDER WORK SIGNED_FOLDER MACHINES_FOLDER MAKE_WORKBOOK
#   SIGNED_FOLDER: where check-signing.sh left its throwaway certificate
#   MACHINES_FOLDER: real tiny DLLs of each machine, library-i686.dll and library-x86_64.dll
#   MAKE_WORKBOOK: the test tree's make-workbook.exe, run under the Wine of the stage
set -euo pipefail
package="$(cd "$(dirname "$0")/../.." && pwd)/tools/package.sh"
pe="$(cd "$(dirname "$0")/../.." && pwd)/tools/package/pe.py"
KAVOR_PROGRAMS=$(realpath "$1")
signer=$(realpath "$3")
machines=$(realpath "$4")
make_workbook=$(realpath "$5")
export KAVOR_PROGRAMS SOURCE_DATE_EPOCH=1700000000
work=$2
rm -rf "$work" && mkdir -p "$work/good" && cd "$work"
unset KAVOR_PAYLOAD KAVOR_SIGN_PKCS12 KAVOR_SIGN_PASSWORD_FILE KAVOR_VERIFY_CA

# Only the leading bytes the checks read: a PE header (i386, with IMAGE_FILE_DLL when $1 is
# 0x2000, then a PE32 optional header), a help file. The workbooks are real compound files:
# workbook PATH KIND, KIND as make-workbook takes it.
pe_header() { /usr/bin/python3 -c 'import struct, sys; sys.stdout.buffer.write(b"MZ" + bytes(58) + struct.pack("<I", 64)
    + b"PE\0\0" + struct.pack("<HHIIIHH", 0x14C, 0, 0, 0, 0, 224, 0x102 | int(sys.argv[1], 0))
    + struct.pack("<HBB9I6H4I2H6I", 0x10B, 0, 0, *[0] * 6, 0x10000000, 0x1000, 0x200, 4, 0, 0, 0, 4, 0,
                  0, 0x1000, 0x200, 0, 2, 0, 0x100000, 0x1000, 0x100000, 0x1000, 0, 16) + bytes(128))' "$1"; }
# A DLL with the machine of its file header set to another: ARM64 (0xAA64), or ARM (0x1C4).
machine() { /usr/bin/python3 -c 'import sys; d = bytearray(open(sys.argv[2], "rb").read())
at = int.from_bytes(d[0x3C:0x40], "little") + 4; d[at:at + 2] = int(sys.argv[1], 0).to_bytes(2, "little"); sys.stdout.buffer.write(d)' "$1" "$2"; }
workbook() { (cd "$(dirname "$1")" && "${WINELOADER:?run under tools/wine/tests.sh}" "$make_workbook" "$(basename "$1")" "$2") ||
    { echo "FAIL make-workbook could not write $1"; exit 1; }; }
pe_header 0x2000 > good/kavorlib.dll
# Its signature stream is empty: no signature.
workbook good/kavorlib.xla "empty DigitalSignature"
workbook good/addinsetup.xls DigitalSignatureEx
workbook good/DEL_ADDIN.XLS DigitalSignature
workbook unsigned.xls unsigned
printf '\x3f\x5f\x03\x00 help' > good/kavor.hlp
status=0
fail() { echo "FAIL $*"; status=$((status + 1)); }
[ "$(/usr/bin/python3 "$pe" kind good/kavorlib.dll)" = "DLL i386" ] || fail "pe.py does not read the synthetic DLL"

# The good folder, packed twice in different time zones, and once signed.
for run in 1 2; do
    TZ=$([ $run = 1 ] && echo Pacific/Kiritimati || echo America/Adak) KAVOR_DIST=$work/dist$run \
        bash "$package" --payload good > pack$run.log || { cat pack$run.log; fail "the good folder is refused"; }
done
# The password through a pipe, as a password manager gives it: it can be read only once.
KAVOR_DIST=$work/signed KAVOR_SIGN_PKCS12=$signer/signer.p12 KAVOR_SIGN_PASSWORD_FILE=<(cat "$signer/password") \
    bash "$package" --payload good </dev/null > pack-signed.log 2>&1 || { cat pack-signed.log; fail "signed packing"; }
zip=$(ls dist1/*.zip) && name=$(basename "$zip" .zip)
signed_zip=$work/signed/$name.zip
cmp "dist1/$name.zip" "dist2/$name.zip" && echo "ok packed twice: byte-identical" || fail "two packs differ"
[ "$(unzip -Z1 "$zip" | grep -v /SHA256SUMS | sed 's|^[^/]*/||' | sort)" = \
  "$(unzip -p "$zip" "$name/SHA256SUMS" | sed 's/^[0-9a-f]*  //' | sort)" ] || fail "SHA256SUMS does not list every other file"
for line in "kavorlib.dll is a DLL for i386: it loads only in 32-bit Excel." \
            "  kavor.hlp        the add-in's help file          (copied by the installer)" \
            "  DEL_ADDIN.XLS    opened in Excel when uninstalling" \
            "addinsetup.xls: its VBA project is signed. Where Excel runs only digitally signed" \
            "kavorlib.xla: its VBA project is not signed. Where Excel loads only signed add-ins, it" \
            "says ARM64, classic ARM64 and ARM64X alike: an ARM64X DLL, which Excel on Windows on Arm"; do
    unzip -p "$zip" "$name/SHIPPING.txt" | grep -qxF -- "$line" || fail "SHIPPING.txt lacks the line \"$line\""
done

# The good folder with a library for 64-bit Excel beside the 32-bit one, a removal workbook
# whose VBA project is unsigned and a signed add-in workbook: packed and passed, and the
# note says what each meets.
cp -r good good64 && cp "$machines/library-x86_64.dll" good64/kavorlib64.dll && cp unsigned.xls good64/DEL_ADDIN.XLS
cp good/addinsetup.xls good64/kavorlib.xla
KAVOR_DIST=$work/dist64 bash "$package" --payload good64 > pack64.log 2>&1 || { cat pack64.log; fail "the folder with kavorlib64.dll is refused"; }
zip64=$(ls dist64/*.zip)
bash "$package" --verify "$zip64" > verify64.log 2>&1 && grep -qx "ok sum of kavorlib64.dll" verify64.log &&
    grep -qx "unsigned DEL_ADDIN.XLS" verify64.log || { cat verify64.log; fail "--verify of the zip with kavorlib64.dll"; }
for line in "kavorlib64.dll is a DLL for x86-64: it loads only in 64-bit Excel, Excel on Windows on Arm included." \
            "For 64-bit Excel the installer copies kavorlib64.dll under the name kavorlib.dll." \
            "DEL_ADDIN.XLS: its VBA project is not signed. Where Excel runs only digitally signed" \
            "kavorlib.xla: its VBA project is signed. Where Excel loads only signed add-ins, the"; do
    unzip -p "$zip64" "$name/SHIPPING.txt" | grep -qxF -- "$line" || fail "SHIPPING.txt lacks the line \"$line\""
done

# Signing settings that cannot work stop the command (exit status 2) with their name, before
# it builds or removes anything: the signed package above stays as it was.
listing() { find signed -printf '%p %s %T@ %C@\n' | sort; }
signed_before=$(listing)
while IFS='|' read -r certificate password named; do
    KAVOR_DIST=$work/signed KAVOR_SIGN_PKCS12=$certificate KAVOR_SIGN_PASSWORD_FILE=$password \
        bash "$package" --payload good </dev/null > row.log 2>&1 && was=0 || was=$?
    [ $was = 2 ] && grep -qF "Cannot read $named," row.log && [ "$(listing)" = "$signed_before" ] &&
        echo "ok stopped before packing: $named" || { cat row.log; fail "$named: exit status $was, not named, or the dist folder changed"; }
done <<ROWS
$signer/signer.p12|$work/no-password|$work/no-password
$work/no-signer.p12|$signer/password|$work/no-signer.p12
$signer/signer.p12|$work/good|$work/good
ROWS

# --verify passes both good zips, and says which are signed.
verify() { # ZIP LOG [ARGUMENT...]: the verify command's exit status
    local zip=$1 log=$2
    shift 2
    bash "$package" --verify "$zip" "$@" > "$log" 2>&1
}
verify "$zip" verify.log && grep -qx "unsigned addin-install.exe" verify.log &&
    grep -qx "The zip passes every check." verify.log && echo "ok --verify passes the unsigned zip" ||
    { cat verify.log; fail "--verify of the unsigned zip"; }
KAVOR_VERIFY_CA="$signer/certificate.pem" verify "$signed_zip" verify-signed.log --require-signature &&
    grep -qx "ok the signature of addin-uninstall.exe verifies" verify-signed.log &&
    grep -qx "ok the VBA project of addinsetup.xls is signed" verify-signed.log &&
    echo "ok --verify passes the signed zip" || { cat verify-signed.log; fail "--verify of the signed zip"; }

# Each row spoils an unpacked copy of a good zip (from inside its folder), packs it again,
# links as links, and must be refused by --verify, given the row's arguments, for its own
# reason.
flip_byte() { # FILE OFFSET
    local byte
    byte=$(od -An -tu1 -j "$2" -N1 "$1")
    printf "\\$(printf %o $((255 - byte)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
sum_again() { find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort | xargs -d '\n' sha256sum > SHA256SUMS; }
while IFS='|' read -r kind arguments change reason; do
    rm -rf spoilt spoilt.zip && mkdir spoilt
    source_zip=$zip
    [ "$kind" = unsigned ] || source_zip=$signed_zip
    unzip -q "$source_zip" -d spoilt
    (cd "spoilt/$name" && eval "$change")
    (cd spoilt && zip -q -r -y ../spoilt.zip .)
    if KAVOR_VERIFY_CA="$signer/certificate.pem" verify spoilt.zip row.log $arguments; then
        cat row.log; fail "--verify passes a zip with: $change"
    elif grep -qxF "FAIL $reason" row.log; then
        echo "ok refused, $change: $reason"
    else
        cat row.log; fail "$change: refused, but not with \"FAIL $reason\""
    fi
done <<'ROWS'
unsigned||flip_byte kavor.hlp 5|kavor.hlp does not match its sum in SHA256SUMS
unsigned||echo notes > notes.txt|notes.txt is not listed in SHA256SUMS
unsigned||rm addin-uninstall.exe|addin-uninstall.exe is missing
unsigned||rm kavor.hlp; sed -i '/  kavor\.hlp$/d' SHA256SUMS|kavor.hlp is missing
signed||flip_byte addin-install.exe $((0x600)); sum_again|the signature of addin-install.exe does not verify:
signed|--require-signature|cp "$KAVOR_PROGRAMS"/addin-{install,uninstall}.exe .; sum_again|addin-install.exe is unsigned, and --require-signature demands a signature
signed|--require-signature|cp "$work/unsigned.xls" DEL_ADDIN.XLS; sum_again|DEL_ADDIN.XLS holds no signed VBA project, and --require-signature demands one
unsigned||ln -s / ../link|link is a symbolic link, not a file
unsigned||echo notes > ../.notes|.notes is a dotfile: nothing in the package may be hidden
ROWS

# Each row changes a copy of the good folder; a refused one writes nothing, and names the
# file of its message on one FAIL line alone. None ends in a Python traceback. The row with
# two problems must name the second too.
while IFS='|' read -r change refused message; do
    rm -rf bad dist && cp -r good bad
    (cd bad && eval "$change")
    if KAVOR_DIST=$work/dist bash "$package" --payload bad > row.log 2>&1; then was=no; else was=yes; fi
    before=$status
    grep -qF "$message" row.log || { cat row.log; fail "$change: no \"$message\""; }
    [ $was = "$refused" ] || fail "$change: refused is $was, not $refused"
    ! grep -q Traceback row.log || { cat row.log; fail "$change: a Python traceback"; }
    if [ "$refused" = yes ]; then [ ! -e dist ] || fail "$change: wrote into the dist folder"
        named=$(grep '^FAIL ' row.log | grep -cF "${message%% *}") || true
        [ "$named" = 1 ] || { cat row.log; fail "$change: ${message%% *} is named on $named FAIL lines, not 1"; }
    elif unzip -Z1 dist/*.zip | grep -q notes.txt; then fail "$change: packed the extra file"; fi
    [ $status != "$before" ] || echo "ok $change: $message"
done <<'ROWS'
rm kavor.hlp|yes|kavor.hlp is missing
mv DEL_ADDIN.XLS del_addin.xls|yes|del_addin.xls should be named DEL_ADDIN.XLS
echo text > addinsetup.xls|yes|addinsetup.xls is not an Excel workbook (compound document)
{ printf '\xd0\xcf\x11\xe0\xa1\xb1\x1a\xe1'; head -c 600 /dev/zero; } > kavorlib.xla|yes|kavorlib.xla is damaged
pe_header 0 > kavorlib.dll|yes|kavorlib.dll is not a Windows DLL: it is a Windows program (EXE for i386)
echo MZ text > kavorlib.dll|yes|kavorlib.dll is not a Windows DLL: it is no PE file at all
echo notes > notes.txt|no|warning notes.txt is none of the add-in's files
rm kavor.hlp; mv DEL_ADDIN.XLS del_addin.xls|yes|del_addin.xls should be named DEL_ADDIN.XLS
cp "$machines/library-i686.dll" kavorlib64.dll|yes|kavorlib64.dll is not a library for 64-bit Excel: it is a DLL for i386
cp "$machines/library-x86_64.dll" kavorlib.dll; cp kavorlib.dll kavorlib64.dll|yes|kavorlib.dll and kavorlib64.dll are both for 64-bit Excel: 32-bit Excel would have no library it can load
machine 0xAA64 "$machines/library-x86_64.dll" > kavorlib64.dll|yes|kavorlib64.dll is a DLL for ARM64, classic or ARM64X (its header does not tell which), and the installer refuses both: ship the x86-64 build, which every 64-bit Excel loads, Excel on Windows on Arm included
machine 0x1C4 "$machines/library-i686.dll" > kavorlib.dll|yes|kavorlib.dll is a DLL for ARM, which no Excel that the installer serves loads: ship the i386 build for 32-bit Excel, the x86-64 build for 64-bit Excel
ROWS
exit $((status > 0))
