#!/usr/bin/env bash
# Starts the window under Xvfb and saves a screenshot of it (default docs/screenshot.png).
# Usage: screenshot.sh [OUTPUT.png]    VINTREL_SCALE=2 screenshot.sh out.png  for a high-density shot.
# The window runs from a scratch copy whose setup.ini names a neutral output folder
# (VINTREL_SHOT_FOLDER, default /home/you/Videos/Vintrel), so no build path shows in the picture.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_BUILD_DIR:-$root/build}
out=$(realpath -m "${1:-$root/docs/screenshot.png}")
scale=${VINTREL_SCALE:-1}
folder=${VINTREL_SHOT_FOLDER:-/home/you/Videos/Vintrel}

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DVINTREL_BUILD_ENCODER=OFF >/dev/null
fi
cmake --build "$build" --target vintrel -j 2 >/dev/null
mkdir -p "$(dirname "$out")"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cp "$build/bin/vintrel" "$scratch/vintrel"
printf '"2"\r\n"2"\r\n"0"\r\n"1"\r\n"%s"\r\n' "$folder" >"$scratch/setup.ini"

# -wr: a white desktop, so the cut-out corners show white in the picture.
TMPDIR=$scratch xvfb-run -a -s "-screen 0 800x1000x24 -wr" bash -s "$scratch/vintrel" "$out" "$scale" <<'INNER'
set -euo pipefail
program=$1 out=$2 scale=$3
QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$program" &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
info=""
for _ in $(seq 200); do
  info=$(xwininfo -name Vintrel 2>/dev/null || true)
  if grep -q "IsViewable" <<<"$info"; then break; fi
  sleep 0.1
done
grep -q "IsViewable" <<<"$info" || { echo "screenshot: the window never appeared" >&2; exit 1; }
sleep 1.5  # let it paint
field() { awk -F: -v key="$1" '$1 ~ key {gsub(/ /, "", $2); print $2}' <<<"$info"; }
x=$(field "Absolute upper-left X") y=$(field "Absolute upper-left Y")
w=$(field "Width") h=$(field "Height")
margin=$(awk -v s="$scale" 'BEGIN { printf "%d", 8 * s + 0.5 }')
import -window root -crop "$((w + 2 * margin))x$((h + 2 * margin))+$((x - margin))+$((y - margin))" +repage "$out"
echo "saved $out (${w}x${h} at $x,$y)"
INNER
