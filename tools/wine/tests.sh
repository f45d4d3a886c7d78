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
# A stage that runs no test fails: a stale or broken build must not pass unseen.
ctest --test-dir "$build" --output-on-failure --no-tests=error "$@" || status=$?
[ $status != 0 ] || exit 0
log=$build/Testing/Temporary/LastTest.log
grep -q '^[0-9]*/[0-9]* Testing: ' "$log" || { echo "== This stage ran no test, so it fails."; exit $status; }
# The stage's log is long: the tests that failed once more at its end, each with all it
# printed, from CTest's own record of the run.
echo "== Failed in this stage, each with its output:"
awk 'function failed(why) { printf "-- %s: %s\n%s", name, why, output }
     /^[0-9]+\/[0-9]+ Testing: / { name = substr($0, index($0, ": ") + 2); output = ""; next }
     /^Output:$/ { inside = 1; getline; next }
     /^<end of output>$/ { inside = 0; next }
     inside { output = output "   " $0 "\n"; next }
     /^Test Fail Reason:$/ { getline; failed($0); next } # such as a regular expression found
     /^Test [A-Z]/ && $0 != "Test Passed." { failed($0) }' \
    "$log"
exit $status
