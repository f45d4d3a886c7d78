#!/bin/bash
# Runs a command with a virtual display of its own, where Wine's windows can exist.
# Usage: display.sh COMMAND [ARGUMENT...]
exec xvfb-run -a -s "-screen 0 1024x768x24" "$@"
