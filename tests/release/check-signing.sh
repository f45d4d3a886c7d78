#!/bin/bash
# Signs copies of the shipped programs with a throwaway self-signed certificate through
# sign.sh, as the package command does, and checks that each signature verifies, that the
# signed programs still pass the import and header check, and that a byte changed after
# signing is caught. Leaves in WORK the signed copies, for the resource checks, and the
# certificate (certificate.pem, signer.p12 and its password file), for the package check.
# Usage: check-signing.sh SHIPPED_FOLDER WORK
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
shipped=$1 work=$2
rm -rf "$work" && mkdir -p "$work"
cd "$work"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kavor throwaway test signer" \
    -addext extendedKeyUsage=codeSigning -keyout key.pem -out certificate.pem 2>/dev/null
openssl pkcs12 -export -inkey key.pem -in certificate.pem -out signer.p12 -passout pass:throwaway
(umask 077 && echo throwaway > password)
cp "$shipped/addin-install.exe" "$shipped/addin-uninstall.exe" .
KAVOR_SIGN_PKCS12=signer.p12 KAVOR_SIGN_PASSWORD_FILE=password bash "$here/../../tools/sign.sh" \
    addin-install.exe addin-uninstall.exe </dev/null

status=0
for exe in addin-install.exe addin-uninstall.exe; do
    if osslsigncode verify -CAfile certificate.pem -in "$exe" >"$exe.verify" 2>&1; then
        echo "signature verifies: $exe"
    else
        echo "FAIL the signature of $exe does not verify:"; cat "$exe.verify"; status=1
    fi
    # One byte of code inverted after signing.
    cp "$exe" "tampered-$exe"
    byte=$(od -An -tu1 -j $((0x600)) -N1 "$exe")
    printf "\\$(printf %o $((255 - byte)))" | dd of="tampered-$exe" bs=1 seek=$((0x600)) conv=notrunc status=none
    cmp -s "$exe" "tampered-$exe" && { echo "FAIL the byte was not changed"; status=1; }
    if osslsigncode verify -CAfile certificate.pem -in "tampered-$exe" >/dev/null 2>&1; then
        echo "FAIL a changed byte in the signed $exe goes unnoticed"; status=1
    else
        echo "changed byte caught: $exe"
    fi
done
/usr/bin/python3 "$here/../../tools/package/pe.py" check addin-install.exe addin-uninstall.exe || status=1
exit $status
