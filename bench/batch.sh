#!/usr/bin/env bash
# Speed of a whole batch: every ratio of the batch-speed table, each measured inside one
# hyperfine run against its peer, on sources this script makes with ffmpeg.
#
#   20 two-second 320x240 MPEG-4 AVI clips: vintrel-cli vs conv.exe called from a shell loop
#   five 30-second 640x480 MPEG-4 AVI clips: the same comparison
#   20 short clips: vintrel-cli --jobs 2 vs --jobs 1
#   30 s 640x480 MPEG-4 AVI and 30 s 1080p H.264 MP4: conv.exe vs decoding alone
#     (ffmpeg -i SRC -f null -) and vs ffmpeg's own 3GP command
#
# Usage: bench/batch.sh [BUILD_DIR]
#   RUNS=N     timed runs per command in each round (default 3)
#   ROUNDS=N   hyperfine rounds per comparison; the median ratio is printed (default 3)
#   VINTREL_BENCH_DIR  where the sources and outputs are kept (default ~/.cache/vintrel-bench)
# The shell loop runs the very command lines vintrel-cli would run (taken from --dry-run).
# Picture quality and size against ffmpeg are bench/encoder.sh's part.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cli=$build/bin/vintrel-cli
conv=$build/bin/data/conv.exe
runs=${RUNS:-3}
rounds=${ROUNDS:-3}
cache=${VINTREL_BENCH_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vintrel-bench}/batch
[ -x "$cli" ] && [ -x "$conv" ] || { echo "no $cli or $conv: build first (bash scripts/build.sh build)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (apt-get install hyperfine)" >&2; exit 1; }
mkdir -p "$cache"
cd "$cache"

make_clip() {  # name, seconds, size, rate, ffmpeg codec arguments...
  local name=$1 seconds=$2 size=$3 rate=$4; shift 4
  [ -s "$name" ] && return
  echo "making $name ..."
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=$rate:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" "$@" -shortest "partial-$name"
  mv "partial-$name" "$name"
}
avi=(-c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k)
make_clip short.avi 2 320x240 25 "${avi[@]}"
make_clip vga30.avi 30 640x480 25 "${avi[@]}"
make_clip hd30.mp4 30 1920x1080 30 -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k
mkdir -p short vga out
for i in $(seq -w 1 20); do [ -e "short/clip$i.avi" ] || ln -s ../short.avi "short/clip$i.avi"; done
for i in 1 2 3 4 5; do [ -e "vga/clip$i.avi" ] || ln -s ../vga30.avi "vga/clip$i.avi"; done

# The loop a person would write: the encoder once per file, one after another.
loop_script() {  # folder -> script
  "$cli" --dry-run --output "$cache/out" "$1"/*.avi >"loop-$1.sh"
  echo "$cache/loop-$1.sh"
}
short_loop=$(loop_script short)
vga_loop=$(loop_script vga)
fixed=(--video-bitrate 120 --fps 14.985 --size 176x144 --audio-bitrate 5.15k --output "$cache/out")

# Columns of hyperfine's CSV: command,mean,...
mean() { awk -F, -v name="$2" '$1 == name { print $2 }' "$1"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

results=()
# compare LABEL GOAL OURS PEER -- -n NAME COMMAND -n NAME COMMAND: the median over the rounds of
# mean(OURS) / mean(PEER), each pair from the same hyperfine run. Every other round runs the pair
# the other way round, so a machine that slows down or speeds up during a run favours neither.
compare() {
  local label=$1 goal=$2 ours=$3 peer=$4; shift 5
  local ratios=() round pair
  for round in $(seq 1 "$rounds"); do
    pair=("$@")
    if [ $((round % 2)) = 0 ]; then pair=("$4" "$5" "$6" "$1" "$2" "$3"); fi
    if ! hyperfine --style basic --warmup 1 --runs "$runs" --export-csv "round.csv" "${pair[@]}" >/dev/null; then
      results+=("$(printf '%-58s   n/a   (a command failed)' "$label")")
      return
    fi
    ratios+=("$(awk -v a="$(mean round.csv "$ours")" -v b="$(mean round.csv "$peer")" 'BEGIN { printf "%.4f", a / b }')")
    echo "  $label, round $round: ${ratios[-1]}" >&2
  done
  results+=("$(printf '%-58s %5.2fx   (goal <= %s; rounds: %s)' "$label" \
    "$(printf '%s\n' "${ratios[@]}" | median)" "$goal" "${ratios[*]}")")
}

compare "20 short AVI: vintrel-cli / conv.exe loop" 1.05 cli loop -- \
  -n cli "'$cli' ${fixed[*]} short/*.avi" -n loop "bash '$short_loop'"
compare "20 short AVI: --jobs 2 / --jobs 1" 0.55 jobs2 cli -- \
  -n cli "'$cli' ${fixed[*]} short/*.avi" -n jobs2 "'$cli' --jobs 2 ${fixed[*]} short/*.avi"
compare "five 30 s 640x480 AVI: vintrel-cli / conv.exe loop" 1.02 cli loop -- \
  -n cli "'$cli' ${fixed[*]} vga/*.avi" -n loop "bash '$vga_loop'"
for clip in vga30.avi hd30.mp4; do
  encode="'$conv' -i $clip -b 120k -y -r 14.985 -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k out/conv-$clip.3gp"
  ffmpeg3gp="ffmpeg -v error -nostdin -y -i $clip -b:v 120k -r 14.985 -s 176x144 -c:a libopencore_amrnb -ar 8000 -ac 1 -b:a 5.15k out/ffmpeg-$clip.3gp"
  decode="ffmpeg -v error -nostdin -i $clip -f null -"
  goal=1.00
  [ "$clip" = hd30.mp4 ] && goal=0.80
  compare "$clip: conv.exe / decoding alone" "$goal" conv decode -- \
    -n conv "$encode" -n decode "$decode"
  compare "$clip: conv.exe / ffmpeg's 3GP command" 0.60 conv ffmpeg -- \
    -n conv "$encode" -n ffmpeg "$ffmpeg3gp"
done

echo
echo "=== batch speed ($rounds rounds of $runs runs, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg))"
printf '%s\n' "${results[@]}"
