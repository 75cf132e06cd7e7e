#!/usr/bin/env bash
# The window's batch against vintrel-cli's on the same 20 two-second clips: the Qt window runs
# under Xvfb with the clips queued on its command line, Convert is pressed through the command
# box (`vintrel-cli --command-box b2`), and the time runs from that press to the moment the last
# output has its final name (before the chime). vintrel-cli converts the same files with the
# same settings, timed as a whole process. Rounds alternate which one goes first.
#
# Usage: bench/window.sh [BUILD_DIR]
#   ROUNDS=N           rounds (default 3); the median ratio is printed with every round
#   VINTREL_BENCH_DIR  where the clips are kept (shared with bench/batch.sh)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli=$build/bin/vintrel-cli
rounds=${ROUNDS:-3}
cache=${VINTREL_BENCH_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vintrel-bench}/batch
for program in "$build/bin/vintrel" "$cli" "$build/bin/data/conv.exe"; do
  [ -x "$program" ] || { echo "no $program: build first (bash scripts/build.sh build)" >&2; exit 1; }
done
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing (bash scripts/install-deps.sh)" >&2; exit 1; }
mkdir -p "$cache/short"
cd "$cache"
if [ ! -s short.avi ]; then
  ffmpeg -v error -y -f lavfi -i testsrc2=size=320x240:rate=25:duration=2 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=2 \
    -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -shortest partial-short.avi
  mv partial-short.avi short.avi
fi
for i in $(seq -w 1 20); do [ -e "short/clip$i.avi" ] || ln -s ../short.avi "short/clip$i.avi"; done

# A scratch program folder: the window, its encoder and chime, and a setup.ini with the pickers
# at 120 kbit/s, 176x144, 14.985 fps, 5.15k and the output folder given per round.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/data" "$scratch/tmp"
cp "$build/bin/vintrel" "$scratch/"
cp "$build/bin/data/conv.exe" "$scratch/data/"
[ -f "$build/bin/sound.wav" ] && cp "$build/bin/sound.wav" "$scratch/"

# Seconds from the press of b2 until all 20 outputs carry their final names.
window_round() {  # output folder
  local out=$1
  printf '"2"\r\n"2"\r\n"0"\r\n"1"\r\n"%s"\r\n' "$out" >"$scratch/setup.ini"
  env -u XDG_RUNTIME_DIR TMPDIR="$scratch/tmp" xvfb-run -a bash -s "$scratch/vintrel" "$cli" "$out" "$cache"/short/*.avi <<'INNER'
set -euo pipefail
program=$1 cli=$2 out=$3; shift 3
QT_QPA_PLATFORM=xcb "$program" "$@" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
# Convert is pressed once the window's command box listens.
box=$TMPDIR/vintrel-$(id -u)/command-box
for _ in $(seq 400); do [ -S "$box" ] && break; sleep 0.05; done
[ -S "$box" ] || { echo "the window's command box never appeared" >&2; exit 1; }
python3 - "$cli" "$out" 20 <<'PY'
import os, subprocess, sys, time
cli, out, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
start = time.monotonic()
subprocess.run([cli, "--command-box", "b2"], check=True, stdout=subprocess.DEVNULL)
while sum(1 for n in os.listdir(out) if n.endswith(".3gp")) < count:
    if time.monotonic() - start > 300:
        sys.exit("the window did not finish the batch")
    time.sleep(0.002)
print(f"{time.monotonic() - start:.4f}")
PY
INNER
}

cli_round() {  # output folder
  python3 - "$cli" "$1" "$cache"/short/*.avi <<'PY'
import subprocess, sys, time
cli, out, files = sys.argv[1], sys.argv[2], sys.argv[3:]
start = time.monotonic()
subprocess.run([cli, "--video-bitrate", "120", "--fps", "14.985", "--size", "176x144",
                "--audio-bitrate", "5.15k", "--output", out] + files, check=True, stdout=subprocess.DEVNULL)
print(f"{time.monotonic() - start:.4f}")
PY
}

ratios=()
for round in $(seq 1 "$rounds"); do
  rm -rf "$scratch/out-window" "$scratch/out-cli"
  mkdir -p "$scratch/out-window" "$scratch/out-cli"
  if [ $((round % 2)) = 1 ]; then
    w=$(window_round "$scratch/out-window"); c=$(cli_round "$scratch/out-cli")
  else
    c=$(cli_round "$scratch/out-cli"); w=$(window_round "$scratch/out-window")
  fi
  ratios+=("$(awk -v w="$w" -v c="$c" 'BEGIN { printf "%.4f", w / c }')")
  echo "  round $round: window $w s, vintrel-cli $c s, ratio ${ratios[-1]}" >&2
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "=== 20 short AVI: window (b2 to last final name) / vintrel-cli: ${median}x (goal <= 1.05; rounds: ${ratios[*]}; $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
