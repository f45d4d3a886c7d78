#!/bin/bash
# Signs Windows programs with Authenticode (SHA-256), in place, and checks each signature.
# The certificate and key come from a PKCS#12 file:
#   KAVOR_SIGN_PKCS12          the PKCS#12 file
#   KAVOR_SIGN_PASSWORD_FILE   where to read its password, on the first line: any path but a
#                              folder, such as a file readable only by you or a password
#                              manager's pipe, <(pass show kavor/signing); without it the
#                              password is asked for, unseen, when a terminal is there
#   KAVOR_SIGN_TIMESTAMP_URL   optional: a timestamp server (RFC 3161), so that the
#                              signature outlives the certificate
# The password is read once (a pipe gives it only once) and reaches the two signing tools
# through a pipe: never a file, never a command line (any process may read another's),
# never the environment (every child inherits it).
# tools/package.sh sources this file: take_signing_settings before it builds or removes
# anything, sign_programs once the programs are staged.
# Usage: sign.sh EXE...

# Checks the certificate and the password's source, and takes the password into
# signing_password and the certificate's full path into signing_pkcs12. A setting that
# cannot work stops the script with exit status 2 and its name.
take_signing_settings() {
    local file=${KAVOR_SIGN_PASSWORD_FILE:-}
    signing_pkcs12=$KAVOR_SIGN_PKCS12 signing_password=
    if [ ! -f "$signing_pkcs12" ] || [ ! -r "$signing_pkcs12" ]; then
        echo "Cannot read $signing_pkcs12, the certificate named by KAVOR_SIGN_PKCS12: it is" >&2
        echo "missing, no file, or not readable by you." >&2
        exit 2
    fi
    # Whoever sources this may change folders before it signs.
    signing_pkcs12=$(realpath -- "$signing_pkcs12")
    if [ -n "${KAVOR_SIGN_PASSWORD:-}" ]; then
        echo "KAVOR_SIGN_PASSWORD is not read: a password in the environment reaches every program" >&2
        echo "started after it. Name a file that holds it in KAVOR_SIGN_PASSWORD_FILE, or let" >&2
        echo "the command ask for it." >&2
        exit 2
    fi
    # read is built in: the password never stands on a command line here either.
    if [ -n "$file" ]; then
        # read fails at a last line without a newline, though it read it: only the
        # redirection tells a path that cannot be read.
        [ ! -d "$file" ] && { IFS= read -r signing_password || true; } < "$file" || {
            echo "Cannot read $file, the password file named by KAVOR_SIGN_PASSWORD_FILE: it is" >&2
            echo "missing, a folder, or not readable by you." >&2
            exit 2
        }
    elif [ -t 0 ]; then
        IFS= read -rsp "Password of $signing_pkcs12: " signing_password
        echo >&2
    else
        echo "No password for $signing_pkcs12: name a file that holds it in KAVOR_SIGN_PASSWORD_FILE." >&2
        exit 2
    fi
    signing_password=${signing_password%$'\r'}
}

# Signs each program in place with the password taken above, and checks its signature.
sign_programs() { # EXE...
    local caption legacy exe timestamp=()
    [ -z "${KAVOR_SIGN_TIMESTAMP_URL:-}" ] || timestamp=(-ts "$KAVOR_SIGN_TIMESTAMP_URL")
    caption=$(source "$(dirname "${BASH_SOURCE[0]}")/../product/facts.sh" && product_fact SETUP_CAPTION)
    signing_work=$(mktemp -d)
    trap 'rm -rf "$signing_work"' EXIT
    # The trust anchor for the check: the certificates of the same file. PKCS#12 files
    # exported by older Windows use ciphers OpenSSL 3 keeps in its legacy provider.
    # printf is built in: in each pipe here and below, the password goes from this shell's
    # memory to the tool's standard input alone.
    for legacy in "" -legacy; do
        printf '%s\n' "$signing_password" | openssl pkcs12 $legacy -in "$signing_pkcs12" -nokeys \
            -passin stdin -out "$signing_work/certificates.pem" 2>"$signing_work/openssl.log" && break
        [ -z "$legacy" ] || { cat "$signing_work/openssl.log" >&2; echo "Cannot read the certificates of $signing_pkcs12" >&2; exit 1; }
    done

    for exe in "$@"; do
        printf '%s\n' "$signing_password" | osslsigncode sign -pkcs12 "$signing_pkcs12" -readpass - \
            -h sha256 -n "$caption" "${timestamp[@]}" -in "$exe" -out "$exe.signed" >/dev/null
        mv "$exe.signed" "$exe"
        if ! osslsigncode verify -CAfile "$signing_work/certificates.pem" -in "$exe" >"$signing_work/verify.log" 2>&1; then
            cat "$signing_work/verify.log" >&2
            echo "FAIL the signature of $exe does not verify against $signing_pkcs12" >&2
            exit 1
        fi
        echo "signed and verified $exe"
    done
    rm -rf "$signing_work"
    trap - EXIT
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
    set -euo pipefail
    : "${KAVOR_SIGN_PKCS12:?names the PKCS#12 file}"
    take_signing_settings
    sign_programs "$@"
fi
