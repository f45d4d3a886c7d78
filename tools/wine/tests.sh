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
status=0
ctest --test-dir "$build" --output-on-failure "$@" || status=$?
[ $status != 0 ] || exit 0
# The stage's log is long: the tests that failed once more at its end, each with all it
# printed, from CTest's own record of the run.
echo "== Failed in this stage, each with its output:"
awk '/^[0-9]+\/[0-9]+ Testing: / { name = substr($0, index($0, ": ") + 2); output = ""; next }
     /^Output:$/ { inside = 1; getline; next }
     /^<end of output>$/ { inside = 0; next }
     inside { output = output "   " $0 "\n"; next }
     /^Test [A-Z]/ && $0 != "Test Passed." { printf "-- %s: %s\n%s", name, $0, output }' \
    "$build/Testing/Temporary/LastTest.log"
exit $status
