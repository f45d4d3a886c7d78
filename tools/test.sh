#!/bin/bash
# Installs what is missing, builds both targets, and runs every test under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh
exec xvfb-run -a -s "-screen 0 1024x768x24" bash tools/run-tests.sh
