#!/usr/bin/env bash
# Builds Vintrel for Windows with mingw-w64 (FFmpeg from Debian's sources, cached), packages the
# zip, and runs the tests under wine: the core's, the Windows-only ones and the unpacked zip.
# Works headless and as root: wine gets its own prefix inside the build folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_WIN_BUILD_DIR:-$root/build-win}
export VINTREL_WIN_BUILD_DIR=$build

zip=$(bash "$root/scripts/package-windows.sh" | tail -n 1)
cmake --build "$build" -j "$(nproc)"

export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
export WINEARCH=win64
# No Mono or Gecko prompts, no menu entries, no window system needed.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# Wine takes its ANSI code page from the locale: Windows-1252, which the tests are written for.
export LC_ALL=C.UTF-8
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

rm -f "$build/wine-restarts.log"
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 300
if [ -s "$build/wine-restarts.log" ]; then
  echo "Wine failed to start these programs at first; each passed when started again:"
  cat "$build/wine-restarts.log"
fi
bash "$root/tests/windows/zip_test.sh" "$zip" "$build/tests/bin/slow_encoder.exe"
# The window on a real X display; VINTREL_WINDOW_SCREENSHOT names a file for its picture.
xvfb-run -a -s "-screen 0 800x600x24" bash "$root/tests/windows/window_test.sh" "$zip" \
  "$build/tests/bin/window_probe.exe" "${VINTREL_WINDOW_SCREENSHOT:-}"
