#!/bin/bash
# Runs CTest under Wine in a fresh prefix; expects a display (display.sh gives one). With
# KAVOR_STAGE=32, the 32-bit tests inside the virtual machine (see prefix.sh).
set -euo pipefail
cd "$(dirname "$0")/../.."
source tools/wine/prefix.sh
boot_wine_prefix
# One Wine session for the whole run, so tests do not pay for its start each time; its
# background services are up before CTest starts, away from any test's output.
keep_wine_session
ctest --test-dir "$build" --output-on-failure "$@"
