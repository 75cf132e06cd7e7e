#!/usr/bin/env bash
# The AT-SPI test needs its own session bus (for the accessibility bus) and its own X display.
# Usage: frm_main_atspi_test.sh PATH_TO_VINTREL
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# A random first display number keeps parallel runs from racing for the same one.
# -noreset: the server would otherwise reset when the probe for it disconnects, and refuse the
# window that connects in that moment.
exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -noreset" dbus-run-session -- /usr/bin/python3 "$here/frm_main_atspi_test.py" "$1"
