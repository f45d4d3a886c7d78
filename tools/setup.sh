#!/bin/bash
# Installs the Debian packages of the named groups that are missing, on Debian 12. Only an
# install needs root: with every package there, it changes nothing and runs as anyone.
# Usage: setup.sh GROUP...
#   build    MinGW-w64, CMake and GoogleTest's sources: both programs and the tests
#   wine     wine64, Xvfb and the Japanese locale: the quick stage and every Wine job
#   wine32   32-bit Wine: the shipped programs' stage, the demo and the benchmark
#   vm32     QEMU and busybox: the virtual machine of tools/vm32/run.sh
#   release  the PE and compound-file readers, zip and unzip: packing and checking a package
#   signing  osslsigncode and OpenSSL: signing, and checking signatures
#   pictures xdotool, ImageMagick and Wine's own fonts: the demo's pictures
#   nsis     NSIS: the benchmark's generic installer
set -euo pipefail

declare -A group_packages=(
    [build]="cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64 googletest"
    [wine]="wine wine64 xvfb xauth locales"
    [wine32]="wine32:i386"
    [vm32]="qemu-system-x86 busybox-static cpio e2fsprogs"
    [release]="python3 python3-pefile python3-olefile zip unzip"
    [signing]="osslsigncode openssl"
    [pictures]="xdotool imagemagick fonts-wine"
    [nsis]="nsis"
)
packages=() japanese=no
for group in "$@"; do
    [ -n "${group_packages[$group]:-}" ] || { echo "setup.sh: no group $group" >&2; exit 2; }
    read -ra listed <<<"${group_packages[$group]}"
    packages+=("${listed[@]}")
    [ "$group" != wine ] || japanese=yes
done

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
# Wine names files with double-byte characters only when the Japanese locale exists.
locale_missing() { [ $japanese = yes ] && ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; }
if [ ${#missing[@]} -eq 0 ] && ! locale_missing; then
    exit 0
fi
if [ "$(id -u)" != 0 ]; then
    echo "setup.sh: run as root once to install: ${missing[*]}$(locale_missing && echo ' (and the ja_JP.UTF-8 locale)')" >&2
    exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
    # wine32 is a package of the i386 architecture.
    if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    echo "Installing: ${missing[*]}"
    # A mirror caught in the middle of a sync fails a list now and then: three tries, then on
    # with the lists that came.
    update_log=$(mktemp)
    for attempt in 1 2 3; do
        apt-get update -qq 2>"$update_log" && break
        cat "$update_log" >&2
        [ $attempt != 3 ] || { echo "setup.sh: going on with the package lists that came" >&2; break; }
        sleep 20
    done
    # The list that failed last, if any: the i386 list of the security archive is the one
    # seen missing.
    i386_list_failed=no
    grep -q 'security.*binary-i386/Packages' "$update_log" && i386_list_failed=yes
    rm -f "$update_log"
    apt_install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >/dev/null; }
    if ! apt_install; then
        # Without the security archive's list of i386 packages, the 64-bit and 32-bit copies of
        # a library cannot agree on a version: every package from the release itself then,
        # without the security updates, which is said. Any other failure stops here.
        [ $i386_list_failed = yes ] || { echo "setup.sh: installing ${missing[*]} failed" >&2; exit 1; }
        release=$(. /etc/os-release && echo "$VERSION_CODENAME")
        echo "setup.sh: the security archive's list of i386 packages could not be fetched, so the 64-bit and" \
             "32-bit packages cannot agree: installing again with every package from $release itself," \
             "without its security updates" >&2
        apt_install -t "$release" --allow-downgrades
    fi
fi
if locale_missing; then
    localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
