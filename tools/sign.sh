#!/bin/bash
# Signs Windows programs with Authenticode (SHA-256), in place, and checks each signature.
# The certificate and key come from a PKCS#12 file:
#   KAVOR_SIGN_PKCS12          the PKCS#12 file
#   KAVOR_SIGN_PASSWORD        its password
#   KAVOR_SIGN_TIMESTAMP_URL   optional: a timestamp server (RFC 3161), so that the
#                              signature outlives the certificate
# Usage: sign.sh EXE...
set -euo pipefail
: "${KAVOR_SIGN_PKCS12:?names the PKCS#12 file}" "${KAVOR_SIGN_PASSWORD:?is its password}"
timestamp=()
[ -n "${KAVOR_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$KAVOR_SIGN_TIMESTAMP_URL")

# The password goes to the tools in a file only this user can read: any process may read
# another's command line. printf is built in, so it never stands on one itself.
secrets=$(mktemp -d)
trap 'rm -rf "$secrets"' EXIT
(umask 077 && printf '%s' "$KAVOR_SIGN_PASSWORD" > "$secrets/password")

# The trust anchor for the check: the certificates of the same file. PKCS#12 files
# exported by older Windows use ciphers OpenSSL 3 keeps in its legacy provider.
for legacy in "" -legacy; do
    openssl pkcs12 $legacy -in "$KAVOR_SIGN_PKCS12" -nokeys -passin "file:$secrets/password" \
        -out "$secrets/certificates.pem" 2>"$secrets/openssl.log" && break
    [ -z "$legacy" ] || { cat "$secrets/openssl.log" >&2; echo "Cannot read the certificates of $KAVOR_SIGN_PKCS12" >&2; exit 1; }
done

for exe in "$@"; do
    osslsigncode sign -pkcs12 "$KAVOR_SIGN_PKCS12" -readpass "$secrets/password" -h sha256 \
        -n "Kavor Interface Add-In Setup" "${timestamp[@]}" -in "$exe" -out "$exe.signed" >/dev/null
    mv "$exe.signed" "$exe"
    if ! osslsigncode verify -CAfile "$secrets/certificates.pem" -in "$exe" >"$secrets/verify.log" 2>&1; then
        cat "$secrets/verify.log" >&2
        echo "FAIL the signature of $exe does not verify against $KAVOR_SIGN_PKCS12" >&2
        exit 1
    fi
    echo "signed and verified $exe"
done
