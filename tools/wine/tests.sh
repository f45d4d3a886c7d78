#!/bin/bash
# Runs CTest under Wine in a fresh prefix; expects a display (display.sh gives one). With
# KAVOR_STAGE=32, the 32-bit tests inside the virtual machine (see prefix.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/wine/prefix.sh
boot_wine_prefix
# Keep one wineserver for the whole run, so tests do not pay for its start each time.
"$WINESERVER" -p
# The first program of a prefix starts Wine's background services, which keep its standard
# output open; start them here, away from CTest, which would wait for that output to close.
"$WINELOADER" "$build/kavor-tests.exe" --gtest_list_tests >/dev/null 2>&1 </dev/null
ctest --test-dir "$build" --output-on-failure "$@"
