#!/bin/bash
# Installs what building and testing need on a fresh Debian 12 machine (run as root), and
# the packages named as arguments, which some jobs need besides.
# Usage: setup.sh [PACKAGE...]
set -euo pipefail

packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 python3 python3-pefile
          googletest wine wine64 xvfb xauth locales osslsigncode openssl zip unzip
          # the 32-bit stage: an emulated PC that boots Debian's kernel, and 32-bit Wine
          qemu-system-x86 busybox-static cpio e2fsprogs wine32:i386 "$@")
# wine32 is a package of the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Wine names files with double-byte characters only when the Japanese locale exists.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
