#!/bin/bash
# The main job: installs what is missing, builds both targets, then shows the programs at
# work under Wine on a stand-in Excel.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
exec xvfb-run -a -s "-screen 0 1024x768x24" bash tools/run-demo.sh
