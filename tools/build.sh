#!/bin/bash
# Builds the presets named, or all three: the shipped 32-bit programs (i686), their 32-bit
# tests (i686-tests) and the x86-64 programs and tests (x86_64), each in build/PRESET.
# Installs what building needs first.
# Usage: build.sh [PRESET...]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh build
presets=("$@")
[ $# -gt 0 ] || presets=(i686 i686-tests x86_64)
for preset in "${presets[@]}"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
