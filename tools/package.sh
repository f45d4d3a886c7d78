#!/bin/bash
# Builds the shipped 32-bit programs and packs them, with a note for whoever ships them and
# their SHA-256 sums, into build/dist/kavor-addin-setup-VERSION.zip. With KAVOR_SIGN_PKCS12
# and KAVOR_SIGN_PASSWORD (see sign.sh) the programs in the zip are signed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh zip
cmake --preset i686 >/dev/null
cmake --build --preset i686 -j "$(nproc)" >/dev/null
version=$(sed -n 's/^#define KAVOR_VERSION_TEXT "\(.*\)"$/\1/p' build/i686/generated/kavor_version.h)
name="kavor-addin-setup-$version"
staging="build/dist/$name"
rm -rf "$staging" "build/dist/$name.zip"
mkdir -p "$staging"
cp build/i686/addin-install.exe build/i686/addin-uninstall.exe "$staging/"
if [ -n "${KAVOR_SIGN_PKCS12:-}" ]; then
    bash tools/sign.sh "$staging/addin-install.exe" "$staging/addin-uninstall.exe"
else
    echo "Not signed: KAVOR_SIGN_PKCS12 and KAVOR_SIGN_PASSWORD name no certificate."
fi
cat > "$staging/SHIPPING.txt" <<TXT
Kavor Interface Add-In Setup $version

addin-install.exe and addin-uninstall.exe install and remove the Kavor Interface add-in
for Microsoft Excel. Ship them in one folder together with these five files of the
add-in, under exactly these names:

  kavorlib.dll     the add-in's library            (copied by the installer)
  kavorlib.xla     the Excel add-in workbook       (copied by the installer)
  kavor.hlp        the add-in's help file          (copied by the installer)
  addinsetup.xls   opened in Excel after installing
  DEL_ADDIN.XLS    opened in Excel when uninstalling

The programs need nothing but Windows; they run as the user who starts them and change
only that user's Excel add-in folder.
TXT
(cd "$staging" && sha256sum addin-install.exe addin-uninstall.exe SHIPPING.txt > SHA256SUMS)
# Fixed times and no extra attributes, so that the same build gives the same archive.
find "$staging" -exec touch -d "@${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}" {} +
(cd build/dist && zip -q -X -D -r "$name.zip" "$name")
echo "build/dist/$name.zip"
unzip -l "build/dist/$name.zip" | sed 1,3d | head -n -2
