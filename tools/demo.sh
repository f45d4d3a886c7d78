#!/bin/bash
# The main job: installs what is missing, builds everything, then shows the shipped 32-bit
# programs at work under 32-bit Wine on a stand-in Excel (on this machine, or in an emulated
# PC where its kernel cannot run 32-bit programs: tools/wine/run32.sh): a silent install and
# uninstall, then the windows a user may meet, photographed into build/demo/. With --docs,
# those pictures also become the ones in docs/ that docs/what-users-meet.md shows.
# Usage: demo.sh [--docs]
set -euo pipefail
cd "$(dirname "$0")/.."
# pictures: Wine's own fonts (Marlett draws the caption buttons, MS Sans Serif is the
# dialog's font), and what photographs a window.
bash tools/setup.sh build wine wine32 pictures
bash tools/build.sh i686 i686-tests
bash tools/wine/run32.sh tools/demo/run.sh build/vm/out
rm -rf build/demo && mkdir -p build/demo && cp build/vm/out/*.png build/demo/
echo "Pictures of those windows: $(ls build/demo/*.png | tr '\n' ' ')"
if [ "${1:-}" = --docs ]; then
    cp build/demo/*.png docs/
    echo "The pictures in docs/ (shown by docs/what-users-meet.md) are these now."
fi
