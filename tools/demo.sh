#!/bin/bash
# The main job: installs what is missing, builds everything, then shows the shipped 32-bit
# programs at work under 32-bit Wine on a stand-in Excel, in the virtual machine of
# vm32.sh: a silent install and uninstall, then the windows a user may meet, photographed
# into build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh xdotool imagemagick
bash tools/build.sh
bash tools/vm32.sh env KAVOR_STAGE=32 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash -c 'bash tools/run-demo.sh && echo && echo "== The windows a user may meet" &&
             bash tools/run-screenshots.sh build/vm/out'
rm -rf build/demo && mkdir -p build/demo && cp build/vm/out/*.png build/demo/
echo "Pictures of those windows: $(ls build/demo/*.png | tr '\n' ' ')"
