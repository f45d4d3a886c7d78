#!/bin/bash
# Builds the shipped 32-bit programs (build/i686), their 32-bit tests (build/i686-tests) and
# the x86-64 programs and tests (build/x86_64).
set -euo pipefail
cd "$(dirname "$0")/.."
for preset in i686 i686-tests x86_64; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$(nproc)"
done
