#!/bin/bash
# Renders the windows a user is most likely to meet into docs/, as 32-bit Wine draws them
# for the shipped programs in the virtual machine of vm32.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh xdotool imagemagick
bash tools/build.sh >/dev/null
bash tools/vm32.sh env KAVOR_STAGE=32 xvfb-run -a -s "-screen 0 1024x768x24" \
    bash tools/run-screenshots.sh build/vm/out
cp build/vm/out/*.png docs/
