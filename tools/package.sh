#!/bin/bash
# Packs the shipped 32-bit programs, with a note for whoever ships them and SHA-256 sums,
# into build/dist/kavor-addin-setup-VERSION.zip; given the add-in's folder, checks its five
# files and packs them too, and says in the note what Excel set to run only signed macros
# makes of the workbooks, and Excel set to load only signed add-ins of the add-in. --verify
# checks a finished zip before it is uploaded; with --require-signature, the vendor's check
# before publishing, both programs must carry signatures that verify (the sums in the zip
# catch accidents, not tampering), and both workbooks that the programs open signed VBA
# projects.
#   --payload DIR or KAVOR_PAYLOAD   the add-in's folder: its five files under the names the
#                                    programs use; packed only when all pass the checks
#   KAVOR_PROGRAMS                   a folder with both programs, built or downloaded: packed
#                                    as they are, without a build
#   KAVOR_DIST                       where the zip goes instead of build/dist
#   KAVOR_SIGN_PKCS12, KAVOR_SIGN_PASSWORD_FILE, KAVOR_SIGN_TIMESTAMP_URL: see sign.sh;
#                                    without a certificate the programs are packed unsigned;
#                                    a certificate or password file that cannot be read stops
#                                    the command (exit status 2) before it builds or removes
#                                    anything
#   KAVOR_VERIFY_CA                  --verify: the certificates (PEM) that signatures must
#                                    lead to; the system's trusted ones otherwise
#   SOURCE_DATE_EPOCH                the files' time in the zip; the last commit's otherwise
# Usage: package.sh [--payload DIR]
#        package.sh --verify ZIP [--require-signature]
set -euo pipefail
payload=${KAVOR_PAYLOAD:-} verify= require_signature=
usage() { sed -n '2,/^set /p' "$0" | sed '$d' >&2; exit 2; }
while [ $# -gt 0 ]; do
    case $1 in
        --payload) payload=${2:?--payload needs the add-in\'s folder}; shift 2 ;;
        --verify) verify=${2:?--verify needs the zip}; shift 2 ;;
        --require-signature) require_signature=yes; shift ;;
        *) usage ;;
    esac
done
[ -z "$require_signature" ] || [ -n "$verify" ] || usage
# The signing settings before anything is installed, built or removed, from the caller's
# folder: the certificate, and the password, read here once.
if [ -z "$verify" ] && [ -n "${KAVOR_SIGN_PKCS12:-}" ]; then
    source "$(dirname "$0")/sign.sh"
    take_signing_settings
fi
# The caller's relative paths, before the move to the project's folder.
absolute() { [ -z "$1" ] || realpath -m -- "$1"; }
payload=$(absolute "$payload") verify=$(absolute "$verify")
programs=$(absolute "${KAVOR_PROGRAMS:-}") dist=$(absolute "${KAVOR_DIST:-}")
verify_ca=$(absolute "${KAVOR_VERIFY_CA:-}")
cd "$(dirname "$0")/.."
root=$PWD
source product/facts.sh
mapfile -t shipped < <(shipped_files)
library=$(product_fact ADDIN_LIBRARY) library64=$(product_fact ADDIN_LIBRARY_64)
addin_workbook=$(product_fact ADDIN_WORKBOOK)
programs_shipped=("$(product_fact INSTALLER_PROGRAM)" "$(product_fact UNINSTALLER_PROGRAM)")
opened_workbooks=("$(product_fact SETUP_WORKBOOK)" "$(product_fact REMOVAL_WORKBOOK)")
package_files=("${programs_shipped[@]}" SHIPPING.txt SHA256SUMS)
pe() { /usr/bin/python3 "$root/tools/package/pe.py" "$@"; }
payload_check() { /usr/bin/python3 "$root/tools/package/payload.py" "$@"; }
# A zip stores local times: the same files must give the same zip in every time zone.
export TZ=UTC

# Every check of a finished zip; each failure names its reason on a line of its own.
verify_zip() {
    local folders status=0 listed present exe signed=0 entries refused verdict
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    echo "Checking $verify"
    entries=$(zipinfo "$verify" 2>/dev/null) || { echo "FAIL $verify is no zip that unzip can read"; return 1; }
    # From the zip's own listing, before anything is unpacked: unzip would make a link, and
    # the checks below would follow it out of the zip. Files only, in one folder, none
    # hidden. The first column is the entry's mode as ls shows it; the name follows the eighth.
    refused=$(awk 'NF >= 9 && $2 ~ /^[0-9]+\.[0-9]+$/ {
        mode = $1; name = $0
        for (column = 0; column < 8; column++) sub(/^[^ ]+ +/, "", name)
        if (name ~ /(^|\/)\./) print "FAIL " name " is a dotfile: nothing in the package may be hidden"
        if (mode ~ /^l/) print "FAIL " name " is a symbolic link, not a file"
        else if (mode ~ /^d/ && name !~ /^[^\/]+\/$/) print "FAIL " name " is a folder below the top one"
        else if (mode !~ /^[-d]/) print "FAIL " name " is no regular file (" mode ")"
    }' <<<"$entries")
    [ -z "$refused" ] || { echo "$refused"; return 1; }
    unzip -q "$verify" -d "$unpacked" || { echo "FAIL $verify is no zip that unzip can read"; return 1; }
    # Should the listing have been misread: nothing but files and folders came out.
    refused=$(find "$unpacked" -mindepth 1 ! -type f ! -type d -printf 'FAIL %P is no regular file once unpacked\n')
    [ -z "$refused" ] || { echo "$refused"; return 1; }
    folders=("$unpacked"/*)
    [ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || { echo "FAIL the zip does not hold exactly one folder"; return 1; }
    cd "${folders[0]}"
    [ -f SHA256SUMS ] || { echo "FAIL SHA256SUMS is missing"; return 1; }
    listed=$(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS | LC_ALL=C sort)
    present=$(find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)
    while read -r file; do
        [ -z "$file" ] || { echo "FAIL $file is not listed in SHA256SUMS"; status=1; }
    done < <(LC_ALL=C comm -13 <(echo "$listed") <(echo "$present"))
    while read -r file; do
        [ -z "$file" ] || { echo "FAIL $file is listed in SHA256SUMS but not in the zip"; status=1; }
    done < <(LC_ALL=C comm -23 <(echo "$listed") <(echo "$present"))
    if grep -qvE '^[0-9a-f]{64}  [^/]+$' SHA256SUMS; then
        echo "FAIL SHA256SUMS holds lines that are no sums of a file"
        status=1
    fi
    # Only the listed files that are there: a missing one is named above, once.
    while read -r line; do
        case $line in
            *": OK") echo "ok sum of ${line%: OK}" ;;
            *": FAILED") echo "FAIL ${line%: FAILED} does not match its sum in SHA256SUMS"; status=1 ;;
        esac
    done < <(awk 'NR == FNR { there[$0]; next } substr($0, 67) in there' <(echo "$present") SHA256SUMS |
             sha256sum -c 2>/dev/null || true)
    payload_check check . "${shipped[@]}" --library64 "$library64" --beside "${package_files[@]}" || status=1
    for exe in "${programs_shipped[@]}"; do
        [ -f "$exe" ] || { echo "FAIL $exe is missing"; status=1; continue; }
        pe check "$exe" || status=1
        if pe signed "$exe"; then
            signed=$((signed + 1))
            if osslsigncode verify ${verify_ca:+-CAfile "$verify_ca"} -in "$exe" >"$unpacked/verify.log" 2>&1; then
                echo "ok the signature of $exe verifies"
            else
                echo "FAIL the signature of $exe does not verify:"
                grep -i -e "fail" -e "mismatch" -e "error" "$unpacked/verify.log" | sed 's/^/    /'
                status=1
            fi
        elif [ -n "$require_signature" ]; then
            echo "FAIL $exe is unsigned, and --require-signature demands a signature"
            status=1
        else
            echo "unsigned $exe"
        fi
    done
    [ $signed = 0 ] || [ $signed = ${#programs_shipped[@]} ] || { echo "FAIL only one of the programs is signed"; status=1; }
    # Excel set to run only signed macros silences an unsigned workbook, and the programs stop.
    for workbook in "${opened_workbooks[@]}"; do
        [ -f "$workbook" ] || continue # named above
        payload_check signed "$workbook" && verdict=0 || verdict=$?
        if [ $verdict = 0 ]; then
            echo "ok the VBA project of $workbook is signed"
        elif [ $verdict = 3 ]; then
            # Its FAIL is above, from the check of the add-in's files.
            echo "unread $workbook could not be read: whether its VBA project is signed is unknown"
        elif [ -n "$require_signature" ]; then
            echo "FAIL $workbook holds no signed VBA project, and --require-signature demands one"
            status=1
        else
            echo "unsigned $workbook"
        fi
    done
    [ $status -eq 0 ] && echo "The zip passes every check." || echo "FAIL $verify"
    return $status
}

if [ -n "$verify" ]; then
    bash tools/setup.sh release signing
    verify_zip
    exit
fi

groups=(release)
[ -n "$programs" ] || groups+=(build)
[ -z "${KAVOR_SIGN_PKCS12:-}" ] || groups+=(signing)
bash tools/setup.sh "${groups[@]}"

# Every problem of the add-in's folder at once, before anything is built or written.
if [ -n "$payload" ]; then
    echo "Checking the add-in's files in $payload"
    [ -d "$payload" ] || { echo "Not packed: $payload is no folder." >&2; exit 1; }
    payload_check check "$payload" "${shipped[@]}" --library64 "$library64" \
        || { echo "Not packed: the add-in's files above must be put right first." >&2; exit 1; }
fi

if [ -z "$programs" ]; then
    bash tools/build.sh i686 >/dev/null
    programs=$root/build/i686
fi
version=$(payload_check version "$programs/${programs_shipped[0]}")
name="kavor-addin-setup-$version"
dist=${dist:-$root/build/dist}
staging="$dist/$name"
rm -rf "$staging" "$dist/$name.zip"
mkdir -p "$staging"
for exe in "${programs_shipped[@]}"; do cp "$programs/$exe" "$staging/"; done
if [ -n "${KAVOR_SIGN_PKCS12:-}" ]; then
    sign_programs "${programs_shipped[@]/#/$staging/}"
else
    echo "Not signed: KAVOR_SIGN_PKCS12 names no certificate."
fi

listed=("${shipped[@]}")
if [ -n "$payload" ]; then
    # The library for 64-bit Excel right after the other in the note's table.
    [ ! -f "$payload/$library64" ] || mapfile -t listed < <(printf '%s\n' "${shipped[@]}" |
        awk -v library="$library" -v library64="$library64" '{ print } $0 == library { print library64 }')
    dlls=
    for file in "${listed[@]}"; do
        cp "$payload/$file" "$staging/"
        [[ $file != *.dll ]] || dlls+="$(payload_check architecture "$staging/$file")"$'\n'
    done
    files_note="The files of the add-in lie beside them in this package, under
exactly these names:"
    architecture_note="
$dlls"
    [ ! -f "$payload/$library64" ] || architecture_note+="For 64-bit Excel the installer copies $library64 under the name $library.
"
    macros_note=$(for workbook in "${opened_workbooks[@]}"; do
        echo
        payload_check macros "$staging/$workbook" | fold -s -w 88 | sed 's/ *$//'
    done)
    addin_note=$'\n'$(payload_check addin "$staging/$addin_workbook" | fold -s -w 88 | sed 's/ *$//')
else
    files_note="Ship them in one folder together with these five files of the
add-in, under exactly these names:"
    architecture_note=
    macros_note=
    addin_note=
fi
file_table=$(for file in "${listed[@]}"; do
    copied=
    ! addin_files | grep -qxF "$file" || copied="(copied by the installer)"
    [ "$file" != "$library64" ] || copied="(copied for 64-bit Excel)"
    printf '  %-16s %-31s %s\n' "$file" "$(shipped_file_role "$file")" "$copied" | sed 's/ *$//'
done)
workbooks="$(product_fact SETUP_WORKBOOK) and $(product_fact REMOVAL_WORKBOOK)"
cat > "$staging/SHIPPING.txt" <<TXT
$(product_fact SETUP_CAPTION) $version

${programs_shipped[0]} and ${programs_shipped[1]} install and remove the $(product_fact ADDIN_DISPLAY_NAME) add-in
for Microsoft Excel. $files_note

$file_table
$architecture_note
The programs need nothing but Windows. They run as the user who starts them and change
only the folder that user's Excel loads add-ins from: for Office 2000 and later a folder
in that user's profile; for Excel 97 and earlier the folder named in that user's registry,
or else the Library folder beside EXCEL.EXE.

Downloaded zips and the workbooks' macros

A zip downloaded with a browser carries the mark of the web, and Explorer passes it on to
every file extracted from it. Since 2022 Excel blocks the macros of marked files outright,
so $workbooks would open with their macros blocked, and the
add-in would never be set up, or stay registered after its files are gone. So the
programs check the marks first: the installer stops on any of its files that is marked
as coming from the Internet or from Restricted sites, the uninstaller on a marked
$(product_fact REMOVAL_WORKBOOK), each before it changes anything, with a message that
tells the user how to unblock the zip (Properties, Unblock) and extract it again. They
deliberately never strip the mark themselves: a signed program that unmarks whatever
lies beside it would run the macros of any workbook planted next to it. Therefore:

  - tell users to unblock the zip (Properties, Unblock) before extracting it, or ship
    the package where no mark is set;
  - tell them to extract the whole zip first ("Extract All"): run from inside the zip,
    the installer finds none of the add-in's files beside it and stops.

The package on a network share

Tell users to run the package from a folder on their own computer, or from a share that
Windows counts in the Local intranet zone. A share that Windows counts in the Internet or
the Restricted sites zone (by default one whose server is named with dots, such as a full
domain name or an IP address, unless the administrator has added it to Local intranet)
makes Excel block the workbooks' macros, so both programs stop there and say so. Copying
the folder to the computer first always works.

Workbooks and Excel's macro settings

Excel set to run only digitally signed macros ("Disable all macros except digitally
signed macros", by the user, a group policy or a cloud policy) runs no unsigned macro
and tells nobody. So the programs read the VBA project of the workbook they open first,
and where Excel is set so and the project carries no signature, they stop before they
change anything and tell the user what to do. Sign the VBA projects of both
${opened_workbooks[0]} and ${opened_workbooks[1]} with a code-signing certificate (in the VBA editor,
Tools > Digital Signature), and check the zip with --verify and --require-signature.
$macros_note

Excel set to load only signed add-ins

Excel can be set to load only add-ins signed by a trusted publisher ("Require that
application add-ins are signed by Trusted Publisher", the registry value RequireAddinSig,
set by a policy). It would not load an unsigned $addin_workbook, so on such a machine
the installer stops before it changes anything and tells the user that whoever supplied
the add-in must supply a signed one. Sign the VBA project of $addin_workbook too.
$addin_note

The libraries

Each DLL must be built for the Excel that loads it: i386 for 32-bit Excel, x86-64 for
64-bit Excel. The x86-64 build serves every 64-bit Excel, Excel on Windows on Arm included
(it runs as Arm64EC and loads x86-64 libraries). The installer refuses a DLL whose header
says ARM64, classic ARM64 and ARM64X alike: an ARM64X DLL, which Excel on Windows on Arm
would load, has the same header as a classic one, which no Excel loads, and the header is
all the installer reads. Ship the x86-64 build.
TXT
(cd "$staging" && find . -type f ! -name SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort \
    | xargs -d '\n' sha256sum > SHA256SUMS)
# Fixed times, modes and order and no extra attributes, so that the same files give the
# same archive.
chmod 644 "$staging"/*
find "$staging" -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" {} +
(cd "$dist" && find "$name" -type f | LC_ALL=C sort | zip -q -X -D "$name.zip" -@)
echo "$dist/$name.zip"
unzip -l "$dist/$name.zip" | sed 1,3d | head -n -2
