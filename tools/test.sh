#!/bin/bash
# Installs what is missing, builds, and runs every test in two stages:
#   quick:  the x86-64 build under wine64 on this machine;
#   32-bit: the shipped 32-bit programs of build/i686 under 32-bit Wine, on this machine
#           where its kernel runs 32-bit programs, else in an emulated PC (tools/wine/run32.sh).
# Usage: test.sh [--quick]   (--quick: the quick stage alone)
set -euo pipefail
cd "$(dirname "$0")/.."
quick=no
[ "${1:-}" != --quick ] || quick=yes
if [ $quick = yes ]; then
    # The quick stage reads the shipped 32-bit programs too (their headers and resources).
    bash tools/setup.sh build wine release signing
    bash tools/build.sh i686 x86_64
else
    bash tools/setup.sh build wine wine32 release signing
    bash tools/build.sh
fi

status=0
stage() { # name, command...
    local name=$1 start=$SECONDS
    shift
    echo "== Stage $name"
    "$@" || status=1
    echo "== Stage $name took $((SECONDS - start)) s"
}
stage "quick (x86-64 under wine64)" bash tools/wine/display.sh bash tools/wine/tests.sh
if [ $quick = no ]; then
    stage "32-bit (shipped programs under 32-bit Wine)" bash tools/wine/run32.sh tools/wine/tests.sh
fi
exit $status
