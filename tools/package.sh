#!/bin/bash
# Packs the shipped 32-bit programs, with a note for whoever ships them and SHA-256 sums,
# into build/dist/kavor-addin-setup-VERSION.zip; given the add-in's folder, checks its five
# files and packs them too. --verify checks a finished zip.
#   --payload DIR or KAVOR_PAYLOAD   the add-in's folder: its five files under the names the
#                                    programs use; packed only when all pass the checks
#   KAVOR_PROGRAMS                   a folder with both programs, built or downloaded: packed
#                                    as they are, without a build
#   KAVOR_DIST                       where the zip goes instead of build/dist
#   KAVOR_SIGN_PKCS12, KAVOR_SIGN_PASSWORD, KAVOR_SIGN_TIMESTAMP_URL: see sign.sh; without a
#                                    certificate the programs are packed unsigned
#   SOURCE_DATE_EPOCH                the files' time in the zip; the last commit's otherwise
# Usage: package.sh [--payload DIR]
#        package.sh --verify ZIP
set -euo pipefail
payload=${KAVOR_PAYLOAD:-} verify=
while [ $# -gt 0 ]; do
    case $1 in
        --payload) payload=${2:?--payload needs the add-in\'s folder}; shift 2 ;;
        --verify) verify=${2:?--verify needs the zip}; shift 2 ;;
        *) sed -n '2,/^set /p' "$0" | sed '$d' >&2; exit 2 ;;
    esac
done
# The caller's relative paths, before the move to the project's folder.
absolute() { [ -z "$1" ] || realpath -m -- "$1"; }
payload=$(absolute "$payload") verify=$(absolute "$verify")
programs=$(absolute "${KAVOR_PROGRAMS:-}") dist=$(absolute "${KAVOR_DIST:-}")
cd "$(dirname "$0")/.."
root=$PWD
bash tools/setup.sh zip unzip
source tools/package/shipped-files.sh
mapfile -t shipped < <(shipped_files)
package_files=(addin-install.exe addin-uninstall.exe SHIPPING.txt SHA256SUMS)
# A zip stores local times: the same files must give the same zip in every time zone.
export TZ=UTC

if [ -n "$verify" ]; then
    unpacked=$(mktemp -d)
    trap 'rm -rf "$unpacked"' EXIT
    echo "Checking $verify"
    unzip -q "$verify" -d "$unpacked"
    folders=("$unpacked"/*)
    [ ${#folders[@]} -eq 1 ] && [ -d "${folders[0]}" ] || { echo "FAIL the zip does not hold exactly one folder"; exit 1; }
    cd "${folders[0]}"
    status=0
    for file in "${package_files[@]}"; do
        [ -f "$file" ] || { echo "FAIL $file is missing"; status=1; }
    done
    sha256sum -c --strict SHA256SUMS | sed 's/^/sum /' || status=1
    listed=$(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS 2>/dev/null | LC_ALL=C sort || true)
    present=$(find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | LC_ALL=C sort)
    if [ "$listed" = "$present" ]; then
        echo "ok SHA256SUMS lists every other file"
    else
        echo "FAIL SHA256SUMS does not list exactly the other files:"
        diff <(echo "$listed") <(echo "$present") | grep '^[<>]' || true
        status=1
    fi
    /usr/bin/python3 "$root/tools/package/payload.py" check . "${shipped[@]}" --beside "${package_files[@]}" || status=1
    /usr/bin/python3 "$root/tests/release/pe.py" check addin-install.exe addin-uninstall.exe || status=1
    [ $status -eq 0 ] && echo "The zip passes every check." || echo "FAIL $verify"
    exit $status
fi

# Every problem of the add-in's folder at once, before anything is built or written.
if [ -n "$payload" ]; then
    echo "Checking the add-in's files in $payload"
    [ -d "$payload" ] || { echo "Not packed: $payload is no folder." >&2; exit 1; }
    /usr/bin/python3 tools/package/payload.py check "$payload" "${shipped[@]}" \
        || { echo "Not packed: the add-in's files above must be put right first." >&2; exit 1; }
fi

if [ -z "$programs" ]; then
    cmake --preset i686 >/dev/null
    cmake --build --preset i686 -j "$(nproc)" >/dev/null
    programs=$root/build/i686
fi
version=$(/usr/bin/python3 tools/package/payload.py version "$programs/addin-install.exe")
name="kavor-addin-setup-$version"
dist=${dist:-$root/build/dist}
staging="$dist/$name"
rm -rf "$staging" "$dist/$name.zip"
mkdir -p "$staging"
cp "$programs/addin-install.exe" "$programs/addin-uninstall.exe" "$staging/"
if [ -n "${KAVOR_SIGN_PKCS12:-}" ]; then
    bash tools/sign.sh "$staging/addin-install.exe" "$staging/addin-uninstall.exe"
else
    echo "Not signed: KAVOR_SIGN_PKCS12 and KAVOR_SIGN_PASSWORD name no certificate."
fi

if [ -n "$payload" ]; then
    for file in "${shipped[@]}"; do
        cp "$payload/$file" "$staging/"
        [[ $file != *.dll ]] || dll=$(/usr/bin/python3 tools/package/payload.py architecture "$staging/$file")
    done
    files_note="The five files of the add-in lie beside them in this package, under
exactly these names:"
    architecture_note="
$dll
"
else
    files_note="Ship them in one folder together with these five files of the
add-in, under exactly these names:"
    architecture_note=
fi
cat > "$staging/SHIPPING.txt" <<TXT
Kavor Interface Add-In Setup $version

addin-install.exe and addin-uninstall.exe install and remove the Kavor Interface add-in
for Microsoft Excel. $files_note

  kavorlib.dll     the add-in's library            (copied by the installer)
  kavorlib.xla     the Excel add-in workbook       (copied by the installer)
  kavor.hlp        the add-in's help file          (copied by the installer)
  addinsetup.xls   opened in Excel after installing
  DEL_ADDIN.XLS    opened in Excel when uninstalling
$architecture_note
The programs need nothing but Windows; they run as the user who starts them and change
only that user's Excel add-in folder.

Downloaded zips and the workbooks' macros

A zip downloaded with a browser carries the mark of the web, and Explorer passes it on to
every file extracted from it. Since 2022 Office blocks the macros of marked files, so
addinsetup.xls and DEL_ADDIN.XLS would open with their macros blocked. (The add-in
installed in the AddIns folder is in a trusted location and is not affected.) Therefore
do one of these:

  - sign the VBA projects of addinsetup.xls and DEL_ADDIN.XLS;
  - tell users to unblock the zip (Properties, Unblock) before extracting it;
  - ship the package where no mark is set.

The programs deliberately do not strip the mark: a signed program that unmarks whatever
lies beside it would be a tool for anyone who swaps the workbooks.
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
