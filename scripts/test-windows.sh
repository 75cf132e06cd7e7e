#!/usr/bin/env bash
# Cross-builds the core and its tests for Windows with mingw-w64 and runs them under wine.
# Works headless and as root: wine gets its own prefix inside the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_WIN_BUILD_DIR:-$root/build-win}

bash "$root/scripts/build.sh" "$build" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_UI=OFF -DVINTREL_BUILD_ENCODER=OFF

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko prompts, no menu entries, no window system needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY

stop_wine() { wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
stop_wine  # a server left behind by an interrupted run would be reused half-dead
wineserver -w

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the wine prefix (first start takes a few seconds)..."
  mkdir -p "$WINEPREFIX"
  wineboot -i >"$build/wineboot.log" 2>&1 || { cat "$build/wineboot.log"; exit 1; }
  wineserver -w
fi
# One server and its services for the whole run, started once rather than by every test.
wineserver -p
wineboot >/dev/null 2>&1 </dev/null

ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
