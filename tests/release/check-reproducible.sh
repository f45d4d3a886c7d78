#!/bin/bash
# Builds the shipped 32-bit programs twice, from scratch in two different folders, and
# compares them byte for byte. Usage: check-reproducible.sh [WORK_FOLDER]
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/../.." && pwd)"
work="${1:-$source_dir/build/reproducible}"
rm -rf "$work"
for tree in first second-tree; do
    cmake -S "$source_dir" -B "$work/$tree" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/mingw-i686.cmake" \
          -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build "$work/$tree" -j "$(nproc)" >/dev/null
done
status=0
for program in addin-install.exe addin-uninstall.exe; do
    if cmp "$work/first/$program" "$work/second-tree/$program"; then
        echo "identical: $program ($(sha256sum < "$work/first/$program" | cut -c1-16))"
    else
        status=1
    fi
done
rm -rf "$work"
exit $status
