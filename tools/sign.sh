#!/bin/bash
# Signs Windows programs with Authenticode (SHA-256), in place, with the certificate and key
# of a PKCS#12 file:
#   KAVOR_SIGN_PKCS12          the PKCS#12 file
#   KAVOR_SIGN_PASSWORD        its password
#   KAVOR_SIGN_TIMESTAMP_URL   optional: a timestamp server (RFC 3161), so that the
#                              signature outlives the certificate
# Usage: sign.sh EXE...
set -euo pipefail
: "${KAVOR_SIGN_PKCS12:?names the PKCS#12 file}" "${KAVOR_SIGN_PASSWORD:?is its password}"
timestamp=()
[ -n "${KAVOR_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$KAVOR_SIGN_TIMESTAMP_URL")
for exe in "$@"; do
    osslsigncode sign -pkcs12 "$KAVOR_SIGN_PKCS12" -pass "$KAVOR_SIGN_PASSWORD" -h sha256 \
        -n "Kavor Interface Add-In Setup" "${timestamp[@]}" -in "$exe" -out "$exe.signed" >/dev/null
    mv "$exe.signed" "$exe"
    echo "signed $exe"
done
