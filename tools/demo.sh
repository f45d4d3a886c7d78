#!/bin/bash
# The main job: installs what is missing, builds everything, then shows the shipped 32-bit
# programs at work under 32-bit Wine on a stand-in Excel, in the virtual machine of
# tools/vm32/run.sh: a silent install and uninstall, then the windows a user may meet,
# photographed into build/demo/. With --docs, those pictures also become the README's.
# Usage: demo.sh [--docs]
set -euo pipefail
cd "$(dirname "$0")/.."
# Wine's own fonts: Marlett draws the caption buttons, MS Sans Serif is the dialog's font.
bash tools/setup.sh xdotool imagemagick fonts-wine
bash tools/build.sh
bash tools/vm32/run.sh tools/wine/demo.sh build/vm/out
rm -rf build/demo && mkdir -p build/demo && cp build/vm/out/*.png build/demo/
echo "Pictures of those windows: $(ls build/demo/*.png | tr '\n' ' ')"
if [ "${1:-}" = --docs ]; then
    cp build/demo/*.png docs/
    echo "The README's pictures in docs/ are these now."
fi
