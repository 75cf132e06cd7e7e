#!/usr/bin/env bash
# Rate accuracy of data/conv.exe: for every size, frame rate and video bitrate the pickers offer,
# the video's bitrate over the whole file (its packets, so audio and container do not count) and
# over the worst 2 s window, as a ratio to the setting. Sources are made with ffmpeg: the bench
# clips (30 s 640x480 MPEG-4 AVI, 30 s 1080p H.264 MP4, a 4 s 320x240 AVI) and hard content of
# 12 s (noise, fast motion, a scene cut every 2 s).
#
# Usage: bench/rate.sh [BUILD_DIR]
#   SOURCES="vga30.avi noise.avi ..."  a subset of the sources (default all)
#   SIZES, RATES, BITRATES             subsets of the pickers' values (kbit/s for BITRATES)
#   VINTREL_BENCH_DIR                  where the clips and outputs are kept
# Goals: within 10 % of the setting for clips of 10 s or more, 25 % for shorter ones, and no 2 s
# window over twice the setting. A file under the setting is marked "easy": its pictures needed
# fewer bits even at the finest quantiser the encoder uses.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
conv=$build/bin/data/conv.exe
cache=${VINTREL_BENCH_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vintrel-bench}/rate
[ -x "$conv" ] || { echo "no $conv: build first (bash scripts/build.sh build)" >&2; exit 1; }
mkdir -p "$cache"
cd "$cache"

# The pickers' values (src/app/pickers.h).
sizes=${SIZES:-"128x96 160x120 176x144 352x288"}
rates=${RATES:-"14.985 23.975 25.0 29.97"}
bitrates=${BITRATES:-"40 80 120 256 512"}

tone() { echo -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$1"; }
avi=(-c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -shortest)
make() {  # name, ffmpeg arguments...
  local name=$1; shift
  [ -s "$name" ] && return
  echo "making $name ..." >&2
  ffmpeg -v error -y "$@" "partial-$name"
  mv "partial-$name" "$name"
}
make vga30.avi -f lavfi -i testsrc2=size=640x480:rate=25:duration=30 $(tone 30) "${avi[@]}"
make hd30.mp4 -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=30 $(tone 30) \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k -shortest
make short4.avi -f lavfi -i testsrc2=size=320x240:rate=25:duration=4 $(tone 4) "${avi[@]}"
make noise.avi -f lavfi -i "testsrc2=size=640x480:rate=25:duration=12,noise=alls=60:allf=t+u" $(tone 12) "${avi[@]}"
make motion.avi -f lavfi \
  -i "testsrc2=size=1920x1440:rate=25:duration=12,crop=640:480:x='mod(t*1500,1280)':y='mod(t*700,960)'" \
  $(tone 12) "${avi[@]}"
make cuts.avi -f lavfi -i "testsrc2=s=640x480:r=25:d=2" -f lavfi -i "mandelbrot=s=640x480:r=25,trim=duration=2" \
  -f lavfi -i "cellauto=s=640x480:r=25:rule=110,trim=duration=2" -f lavfi -i "smptehdbars=s=640x480:r=25:d=2" \
  -f lavfi -i "life=s=640x480:r=25:mold=10:ratio=0.2,trim=duration=2" -f lavfi -i "testsrc=s=640x480:r=25:d=2" \
  $(tone 12) -filter_complex \
  "[0:v]format=yuv420p[a];[1:v]format=yuv420p[b];[2:v]format=yuv420p[c];[3:v]format=yuv420p[d];[4:v]format=yuv420p[e];[5:v]format=yuv420p[f];[a][b][c][d][e][f]concat=n=6:v=1:a=0[v]" \
  -map "[v]" -map 6:a "${avi[@]}"
sources=${SOURCES:-"vga30.avi hd30.mp4 short4.avi noise.avi motion.avi cuts.avi"}

# An output's video: "achieved-kbit/s whole-file-ratio worst-2s-ratio frames" against SETTING bit/s.
measure() {
  local duration
  duration=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$1")
  ffprobe -v error -select_streams v:0 -show_entries packet=pts_time,size -of csv=p=0 "$1" | sort -t, -k1 -g |
    awk -F, -v set="$2" -v dur="$duration" '
    { t[NR] = $1; s[NR] = $2; total += $2 }
    END { best = 0; j = 1; w = 0
      for (i = 1; i <= NR; i++) { w += s[i]; while (t[i] - t[j] >= 2) { w -= s[j]; j++ } if (w > best) best = w }
      printf "%.1f %.3f %.2f %d\n", total * 8 / dur / 1000, total * 8 / dur / set, best * 8 / 2 / set, NR }'
}

printf '%-11s %-8s %-7s %7s %9s %7s %7s %6s  %s\n' source size fps setting achieved ratio "2s max" frames verdict
fails=0 easy=0 total=0
for src in $sources; do
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$src")
  tolerance=$(awk -v l="$length" 'BEGIN { print (l >= 10) ? 0.10 : 0.25 }')
  for size in $sizes; do for fps in $rates; do for kbps in $bitrates; do
    out=out-$src-$size-$fps-$kbps.3gp
    "$conv" -i "$src" -b "${kbps}k" -y -r "$fps" -s "$size" -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k "$out" \
      >/dev/null 2>conv-error.txt || { echo "conv failed on $out: $(tail -1 conv-error.txt)"; fails=$((fails + 1)); continue; }
    read -r achieved ratio window frames < <(measure "$out" "$((kbps * 1000))")
    verdict=$(awk -v r="$ratio" -v w="$window" -v t="$tolerance" 'BEGIN {
      if (r > 1 + t || w > 2) print "MISSED"; else if (r < 1 - t) print "easy"; else print "ok" }')
    total=$((total + 1))
    [ "$verdict" = MISSED ] && fails=$((fails + 1))
    [ "$verdict" = easy ] && easy=$((easy + 1))
    printf '%-11s %-8s %-7s %7s %9s %7s %7s %6s  %s\n' "$src" "$size" "$fps" "$kbps" "$achieved" "$ratio" "$window" "$frames" "$verdict"
    rm -f "$out"
  done; done; done
done
echo "=== $total files: $fails missed, $easy under the setting (easy pictures)"
