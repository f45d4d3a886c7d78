#!/bin/bash
# Renders the windows a user is most likely to meet, as Wine draws them, into docs/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
for package in xdotool imagemagick; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" >/dev/null
done
bash tools/build.sh >/dev/null
exec xvfb-run -a -s "-screen 0 1024x768x24" bash tools/run-screenshots.sh
