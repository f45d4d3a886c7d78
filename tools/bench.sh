#!/bin/bash
# Measures the shipped programs: sizes, run time under Wine against an empty console
# program, and the whole test suite's wall time. Prints a Markdown table.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
bash tools/build.sh >/dev/null
exec xvfb-run -a -s "-screen 0 1024x768x24" bash tools/run-bench.sh "$@"
