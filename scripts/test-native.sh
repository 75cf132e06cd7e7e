#!/usr/bin/env bash
# The native build with every test: core, encoder end-to-end, CLI, window (offscreen and Xvfb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_BUILD_DIR:-$root/build}
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_TESTS=ON
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 600
