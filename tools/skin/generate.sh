#!/usr/bin/env bash
# Rebuilds the skin generator and redraws every picture into src/ui/resources.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${VINTREL_SKIN_BUILD_DIR:-$root/build-skin}
cmake -S "$root/tools/skin" -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j 2
QT_QPA_PLATFORM=offscreen "$build/vintrel-skin" "$root/src/ui/resources"
