#!/usr/bin/env bash
# Speed and quality of data/conv.exe against ffmpeg itself, on two 60 s clips made with ffmpeg:
# 1920x1080 H.264 + AAC at 30 fps (MP4) and 640x480 MPEG-4 + MP3 at 25 fps (AVI).
#
# Usage: bench/encoder.sh [BUILD_DIR]
#   RUNS=N            timed runs per command (default 5)
#   VINTREL_BENCH_DIR where the clips and outputs are kept (default ~/.cache/vintrel-bench)
#   REALTIME=1        run every timed command at real-time priority (chrt -f 10, needs root), so
#                     that other work on a shared machine does not disturb the measurement
#
# Quality: every output is compared by SSIM with one reference per clip: the source put on the
# output's frame grid (ffmpeg's fps filter) and scaled with lanczos to the picture each output
# promises (ffmpeg's command stretches to the full frame; conv.exe keeps the shape inside black
# bars, so its picture area is compared). Outputs are put back on the frame grid first (a frame the
# rate control dropped shows the one before it, as on a phone), then aligned by the best of -3..3
# frames and the offset is printed: a non-zero offset is a video delay, the SSIM is the quality.
#
# Picture per bit: ffmpeg misses its own bitrate target, so it is also run at FFMPEG_TARGETS
# (default 60k 90k 120k) and its SSIM at conv.exe's actual file size is read off that curve
# (linear between the two nearest points; "extrapolated" when conv.exe's size lies outside).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
conv=$build/bin/data/conv.exe
runs=${RUNS:-5}
cache=${VINTREL_BENCH_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/vintrel-bench}
[ -x "$conv" ] || { echo "no $conv: build first (bash scripts/build.sh build)" >&2; exit 1; }
command -v hyperfine >/dev/null || { echo "hyperfine is missing (bash scripts/install-deps.sh)" >&2; exit 1; }
mkdir -p "$cache"
cd "$cache"
rt=""
if [ "${REALTIME:-0}" = 1 ]; then rt="chrt -f 10 "; fi

make_clip() {  # name, ffmpeg output arguments...
  local name=$1; shift
  [ -s "$name" ] && return
  echo "making $name ..."
  ffmpeg -v error -y "$@" "partial-$name"
  mv "partial-$name" "$name"
}
make_clip hd1080.mp4 -f lavfi -i testsrc2=size=1920x1080:rate=30:duration=60 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 \
  -c:v libx264 -pix_fmt yuv420p -c:a aac -b:a 128k -shortest
make_clip vga480.avi -f lavfi -i testsrc2=size=640x480:rate=25:duration=60 \
  -f lavfi -i sine=frequency=440:sample_rate=44100:duration=60 \
  -c:v mpeg4 -q:v 3 -c:a libmp3lame -b:a 128k -shortest

ssim() {  # output, reference, crop filter or "" -> "ssim offset"
  # Exact integer timestamps on both sides: rounded ones would pair neighbouring frames.
  local best=0 at=0 o a b value
  for o in -3 -2 -1 0 1 2 3; do
    a=0 b=0
    if [ "$o" -gt 0 ]; then a=$o; elif [ "$o" -lt 0 ]; then b=$((-o)); fi
    value=$(ffmpeg -nostats -i "$1" -i "$2" -lavfi \
      "[0:v]fps=15000/1001,${3:+$3,}trim=start_frame=$a,settb=1/15000,setpts=N*1001[x];[1:v]trim=start_frame=$b,settb=1/15000,setpts=N*1001[y];[x][y]ssim" \
      -f null - 2>&1 | sed -n 's/.*SSIM.*All:\([0-9.]*\).*/\1/p')
    if awk -v v="$value" -v b="$best" 'BEGIN { exit !(v > b) }'; then best=$value at=$o; fi
  done
  echo "$best $at"
}

# Columns of hyperfine's CSV: command,mean,stddev,median,user,system,min,max
column() { awk -F, -v name="$2" -v col="$3" '$1 == name { print $col }' "$1"; }

summary=()
for clip in hd1080.mp4 vga480.avi; do
  stem=${clip%.*}
  echo "=== $clip"
  hyperfine --warmup 1 --runs "$runs" --export-csv "times-$stem.csv" \
    -n ffmpeg "${rt}ffmpeg -v error -y -i $clip -b:v 120k -r 14.985 -s 176x144 -c:a libopencore_amrnb -ar 8000 -ac 1 -b:a 5.15k ffmpeg-$stem.3gp" \
    -n conv "$rt'$conv' -i $clip -b 120k -y -r 14.985 -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k conv-$stem.3gp" \
    -n decode-only "${rt}ffmpeg -v error -i $clip -f null -"
  IFS=, read -r width height < <(ffprobe -v error -select_streams v:0 -show_entries stream=width,height -of csv=p=0 "$clip")
  # The picture box conv.exe uses for a square-pixel source in a 176x144 frame: shape kept,
  # centred on even lines and columns, or on the 8-pixel block grid within 2 pixels of centre.
  box=$(awk -v w="$width" -v h="$height" 'function off(spare, frame,  g, d) {
      g = 8 * int((int(spare / 2) + 4) / 8); d = 2 * g - spare; if (d < 0) d = -d
      return d <= 2 * int(frame / 72) ? g : 2 * int(int(spare / 2) / 2) }
    BEGIN { a = w / h
    if (a > 176 / 144) { bh = 2 * int(176 / a / 2 + 0.5); print 176, bh, 0, off(144 - bh, 144) }
    else { bw = 2 * int(144 * a / 2 + 0.5); print bw, 144, off(176 - bw, 176), 0 } }')
  read -r bw bh bx by <<<"$box"
  ffmpeg -v error -y -i "$clip" -an -vf "fps=15000/1001,scale=176:144:flags=lanczos" -c:v ffv1 "ref-$stem-full.nut"
  ffmpeg -v error -y -i "$clip" -an -vf "fps=15000/1001,scale=$bw:$bh:flags=lanczos" -c:v ffv1 "ref-$stem-box.nut"
  read -r ff_ssim ff_offset < <(ssim "ffmpeg-$stem.3gp" "ref-$stem-full.nut" "")
  read -r conv_ssim conv_offset < <(ssim "conv-$stem.3gp" "ref-$stem-box.nut" "crop=$bw:$bh:$bx:$by")
  curve=""
  for target in ${FFMPEG_TARGETS:-60k 90k 120k}; do
    ffmpeg -v error -y -i "$clip" -b:v "$target" -r 14.985 -s 176x144 -c:a libopencore_amrnb -ar 8000 -ac 1 \
      -b:a 5.15k "curve-$stem-$target.3gp"
    read -r value _ < <(ssim "curve-$stem-$target.3gp" "ref-$stem-full.nut" "")
    curve+="$(stat -c %s "curve-$stem-$target.3gp") $value "
  done
  s_conv_now=$(stat -c %s "conv-$stem.3gp")
  ff_at_size=$(awk -v size="$s_conv_now" -v points="$curve" 'BEGIN {
    n = split(points, p, " ") / 2
    for (i = 1; i <= n; i++) { x[i] = p[2 * i - 1]; y[i] = p[2 * i] }
    for (i = 1; i < n; i++) for (j = i + 1; j <= n; j++) if (x[j] < x[i]) { t = x[i]; x[i] = x[j]; x[j] = t; t = y[i]; y[i] = y[j]; y[j] = t }
    lo = 1; for (i = 1; i < n; i++) if (size >= x[i]) lo = i
    note = (size < x[1] || size > x[n]) ? "extrapolated" : "interpolated"
    printf "%.4f %s", y[lo] + (y[lo + 1] - y[lo]) * (size - x[lo]) / (x[lo + 1] - x[lo]), note }')
  read -r ff_curve_ssim ff_curve_note <<<"$ff_at_size"
  t_ff=$(column "times-$stem.csv" ffmpeg 2)
  t_conv=$(column "times-$stem.csv" conv 2)
  t_dec=$(column "times-$stem.csv" decode-only 2)
  # The fastest run of each is the one least disturbed by other work on the machine.
  m_ff=$(column "times-$stem.csv" ffmpeg 7)
  m_conv=$(column "times-$stem.csv" conv 7)
  s_ff=$(stat -c %s "ffmpeg-$stem.3gp")
  s_conv=$(stat -c %s "conv-$stem.3gp")
  summary+=("$(awk -v c="$clip" -v tf="$t_ff" -v tc="$t_conv" -v td="$t_dec" -v mf="$m_ff" -v mc="$m_conv" \
    -v sf="$s_ff" -v sc="$s_conv" \
    -v qf="$ff_ssim" -v of="$ff_offset" -v qc="$conv_ssim" -v oc="$conv_offset" \
    -v qe="$ff_curve_ssim" -v ne="$ff_curve_note" -v curve="$curve" 'BEGIN {
    printf "%-11s mean: ffmpeg %.2f s, conv %.2f s, decode-only %.2f s | conv/ffmpeg %.2fx (target <= 0.80), conv/decode %.2fx\n", c, tf, tc, td, tc / tf, tc / td
    printf "%-11s fastest: ffmpeg %.2f s, conv %.2f s | conv/ffmpeg %.2fx\n", "", mf, mc, mc / mf
    printf "%-11s size ffmpeg %d B, conv %d B (%+.1f %%, target within 15 %%)\n", "", sf, sc, (sc - sf) * 100 / sf
    printf "%-11s SSIM ffmpeg %.4f (offset %d), conv %.4f (offset %d), difference %+.4f (target >= -0.01)\n", "", qf, of, qc, oc, qc - qf
    printf "%-11s ffmpeg at conv'"'"'s size (%s from size/SSIM %s): %.4f, conv - ffmpeg %+.4f (goal >= 0)\n", "", ne, curve, qe, qc - qe }')")
done
echo
echo "=== summary ($runs runs each, $(nproc) cores${rt:+, real-time priority})"
printf '%s\n' "${summary[@]}"
