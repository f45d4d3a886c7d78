#!/bin/bash
# Signs Windows programs with Authenticode (SHA-256), in place, and checks each signature.
# The certificate and key come from a PKCS#12 file:
#   KAVOR_SIGN_PKCS12          the PKCS#12 file
#   KAVOR_SIGN_PASSWORD_FILE   a file, readable only by you, whose first line is its
#                              password; without it the password is asked for, unseen,
#                              when a terminal is there
#   KAVOR_SIGN_TIMESTAMP_URL   optional: a timestamp server (RFC 3161), so that the
#                              signature outlives the certificate
# The password reaches only the two signing tools, in a private file: never a command
# line (any process may read another's), never the environment (every child inherits it).
# Usage: sign.sh EXE...
set -euo pipefail
: "${KAVOR_SIGN_PKCS12:?names the PKCS#12 file}"
if [ -n "${KAVOR_SIGN_PASSWORD:-}" ]; then
    echo "KAVOR_SIGN_PASSWORD is not read: a password in the environment reaches every program" >&2
    echo "started after it. Name a file that holds it in KAVOR_SIGN_PASSWORD_FILE, or let" >&2
    echo "the command ask for it." >&2
    exit 2
fi
timestamp=()
[ -n "${KAVOR_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$KAVOR_SIGN_TIMESTAMP_URL")
caption=$(source "$(dirname "$0")/../product/facts.sh" && product_fact SETUP_CAPTION)

secrets=$(mktemp -d)
trap 'rm -rf "$secrets"' EXIT
# read and printf are built in: the password never stands on a command line here either.
if [ -n "${KAVOR_SIGN_PASSWORD_FILE:-}" ]; then
    password=
    # read fails at a last line without a newline, though it read it: only the redirection
    # tells a file that cannot be read.
    file=$KAVOR_SIGN_PASSWORD_FILE
    [ -f "$file" ] && { IFS= read -r password || true; } < "$file" || {
        echo "Cannot read $file, the password file named by KAVOR_SIGN_PASSWORD_FILE: it is" >&2
        echo "missing, no file, or not readable by you." >&2
        exit 2
    }
elif [ -t 0 ]; then
    IFS= read -rsp "Password of $KAVOR_SIGN_PKCS12: " password
    echo >&2
else
    echo "No password for $KAVOR_SIGN_PKCS12: name a file that holds it in KAVOR_SIGN_PASSWORD_FILE." >&2
    exit 2
fi
(umask 077 && printf '%s' "${password%$'\r'}" > "$secrets/password")
unset password

# The trust anchor for the check: the certificates of the same file. PKCS#12 files
# exported by older Windows use ciphers OpenSSL 3 keeps in its legacy provider.
for legacy in "" -legacy; do
    openssl pkcs12 $legacy -in "$KAVOR_SIGN_PKCS12" -nokeys -passin "file:$secrets/password" \
        -out "$secrets/certificates.pem" 2>"$secrets/openssl.log" && break
    [ -z "$legacy" ] || { cat "$secrets/openssl.log" >&2; echo "Cannot read the certificates of $KAVOR_SIGN_PKCS12" >&2; exit 1; }
done

for exe in "$@"; do
    osslsigncode sign -pkcs12 "$KAVOR_SIGN_PKCS12" -readpass "$secrets/password" -h sha256 \
        -n "$caption" "${timestamp[@]}" -in "$exe" -out "$exe.signed" >/dev/null
    mv "$exe.signed" "$exe"
    if ! osslsigncode verify -CAfile "$secrets/certificates.pem" -in "$exe" >"$secrets/verify.log" 2>&1; then
        cat "$secrets/verify.log" >&2
        echo "FAIL the signature of $exe does not verify against $KAVOR_SIGN_PKCS12" >&2
        exit 1
    fi
    echo "signed and verified $exe"
done
