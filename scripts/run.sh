#!/usr/bin/env bash
# Installs what is needed, builds, and starts Vintrel. Without a display it shows how to use
# the headless twin, vintrel-cli, and converts an example clip with it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh" run
# The programs only; scripts/test.sh adds the tests to the same tree.
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_BUILD_TESTS=OFF >/dev/null
cmake --build "$root/build" -j "$(nproc)" --target vintrel vintrel-cli vintrel_conv
bin="$root/build/bin"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting $bin/vintrel"
  exec "$bin/vintrel"
fi

cat <<USAGE
No display found, so the window cannot open. The same conversion runs without a window:

  $bin/vintrel-cli [--video-bitrate 120] [--size 176x144] [--fps 14.985] [--audio-bitrate 5.15k] \\
      [--output DIR] FILE...

Settings left out come from the window's setup.ini (else the window's defaults).
A running window can be driven from outside:  $bin/vintrel-cli --command-box b2   (0 Add, 1 Remove, 2 Convert)

Example: a 5-second clip made with ffmpeg, converted to 3GP.
USAGE
example="$root/build/example"
mkdir -p "$example"
ffmpeg -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=5 -f lavfi -i sine=frequency=440:duration=5 \
  -c:v mpeg4 -q:v 5 -c:a libmp3lame "$example/sample clip.avi"
"$bin/vintrel-cli" --output "$example/output" "$example/sample clip.avi"
echo "The 3GP file is in $example/output"
