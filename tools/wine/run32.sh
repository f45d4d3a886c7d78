#!/bin/bash
# Runs a Wine job (the tests, the demo) with the shipped 32-bit programs (KAVOR_STAGE=32)
# under 32-bit Wine and a virtual display: on this machine where its kernel runs 32-bit
# Windows programs, told by starting one; otherwise in the emulated PC of
# tools/vm32/run.sh (KAVOR_EMULATE=1 takes that one anyway). Either way the job writes what
# it keeps into build/vm/out, the one folder the emulated PC can write, emptied first; the
# job's exit status is ours. Installs what it needs.
# Usage: run32.sh [NAME=VALUE...] JOB [ARGUMENT...]
set -euo pipefail
cd "$(dirname "$0")/../.."
bash tools/setup.sh wine wine32
# A Windows program, not the loader alone: a kernel may start the loader and then refuse what
# Wine needs (32-bit system calls, the LDT). In a throwaway 32-bit prefix, within two minutes.
runs_here=no
trial=$(mktemp -d)
said=$(WINEPREFIX=$trial WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    timeout 120 /usr/lib/wine/wine cmd /c echo kavor-32 </dev/null 2>/dev/null) && trial_status=0 || trial_status=$?
[[ $said != *kavor-32* ]] || runs_here=yes
WINEPREFIX=$trial /usr/lib/wine/wineserver -k 2>/dev/null || true
WINEPREFIX=$trial /usr/lib/wine/wineserver -w 2>/dev/null || true
rm -rf "$trial"
# What the trial showed, for the line that says why the job goes to the emulated PC.
case $trial_status in
    0) trial_showed="the trial exited with status 0 but did not print kavor-32" ;;
    124) trial_showed="the trial timed out after 120 s, status 124" ;;
    *) trial_showed="the trial exited with status $trial_status, not timed out" ;;
esac
if [ $runs_here = yes ] && [ "${KAVOR_EMULATE:-0}" != 1 ]; then
    echo "== 32-bit Wine runs on this machine's kernel: the job runs here"
    rm -rf build/vm/out && mkdir -p build/vm/out
    variables=()
    while [[ "${1:-}" == *=* ]]; do variables+=("$1"); shift; done
    exec env KAVOR_STAGE=32 "${variables[@]}" bash tools/wine/display.sh bash "$@"
fi
if [ $runs_here = yes ]; then
    echo "== KAVOR_EMULATE=1: the job runs in an emulated PC"
else
    echo "== This machine's kernel cannot run 32-bit Wine ($trial_showed): the job runs in an emulated PC"
fi
bash tools/setup.sh vm32
# Under emulation every Wine call costs many times as much: the generated registry states
# are fewer there, the quick stage runs them all.
exec bash tools/vm32/run.sh KAVOR_HOSTILE_STATES=500 "$@"
