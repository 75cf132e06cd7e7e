#!/usr/bin/env bash
# What a hostile or broken input may cost, against the bounds the program sets itself:
#
#   vintrel-cli's peak memory while its encoders print 500 MB each (--jobs 1 and 2), and the
#     reason it gives for them; goal <= 100 MB, the reason the encoder's last line
#   conv.exe on files that declare ten hours but hold two seconds (with and without a picture);
#     goal <= 10 s and <= 20 MB of output; a 60 s still picture over 60 s of sound keeps 60 s
#   conv.exe whose reader leaves after 300 bytes: seconds until it has gone (goal <= 1 s after
#     the next progress line) and what it left
#
# Usage: bench/bounded.sh [BUILD_DIR]. Figures are wall-clock on a shared machine: noisy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
conv_args=(-b 120k -y -r 14.985 -s 176x144 -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k)

# A stand-in encoder beside a copy of the CLI: 500 MB of decoder complaints, then the real cause.
mkdir -p app/data out
cp "$build/bin/vintrel-cli" app/
cat >app/data/conv.exe <<'SCRIPT'
#!/bin/sh
echo "Error: $2: the first complaint"
yes "[h264 @ 0x5555] error while decoding MB 12 7, bytestream -5" | head -c 500000000
echo
echo "Error: $2: the video is damaged throughout"
exit 1
SCRIPT
chmod +x app/data/conv.exe
touch a.avi b.avi
for jobs in 1 2; do
  /usr/bin/time -f "%M" -o rss.txt app/vintrel-cli --jobs "$jobs" --output "$work/out" a.avi b.avi >cli.log 2>&1 || true
  reason=$(grep -m1 "  a.avi: " cli.log | sed 's/^  a.avi: //')
  echo "vintrel-cli --jobs $jobs, 500 MB of encoder output per file: peak RSS $(($(tail -n 1 rss.txt) / 1024)) MB (goal <= 100); reason: $reason"
done

ffmpeg -v error -y -t 2.1 -f lavfi -i testsrc=size=320x240:rate=25 -t 2.1 -f lavfi -i sine \
  -vf "setpts=if(gte(N\,50)\,PTS+36000/TB\,PTS)" -af "asetpts=if(gte(T\,2)\,PTS+36000/TB\,PTS)" \
  -c:v libx264 -preset ultrafast -crf 40 -c:a libvorbis -b:a 32k gap.mkv
ffmpeg -v error -y -t 2.1 -f lavfi -i sine -af "asetpts=if(gte(T\,2)\,PTS+36000/TB\,PTS)" \
  -c:a libopus -b:a 6k gap-audio.mka
ffmpeg -v error -y -f lavfi -i color=red:size=320x240:rate=1/60 -f lavfi -i sine -t 60 -c:v mpeg4 -c:a aac still.mp4
for source in gap.mkv gap-audio.mka still.mp4; do
  start=$(date +%s.%N)
  status=0
  "$build/bin/data/conv.exe" -i "$source" "${conv_args[@]}" "$source.3gp" >conv.log 2>&1 || status=$?
  end=$(date +%s.%N)
  length=$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source.3gp" 2>/dev/null || echo none)
  printf '%s (%s bytes, declares %s s): status %s, %.2f s, output %s bytes lasting %s s\n' "$source" \
    "$(stat -c %s "$source")" "$(ffprobe -v error -show_entries format=duration -of csv=p=0 "$source")" \
    "$status" "$(echo "$end - $start" | bc)" "$(stat -c %s "$source.3gp" 2>/dev/null || echo 0)" "$length"
done

ffmpeg -v error -y -t 90 -f lavfi -i testsrc=size=640x480:rate=25 -t 90 -f lavfi -i sine -c:v mpeg4 -c:a libmp3lame long.avi
mkdir -p left
python3 - "$build/bin/data/conv.exe" "${conv_args[@]}" <<'PY'
import os, subprocess, sys, time
conv, args = sys.argv[1], sys.argv[2:]
child = subprocess.Popen([conv, "-i", "long.avi", *args, "left/out.3gp"], stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
seen = b""
while len(seen) < 300:
    seen += child.stdout.read1(100)
child.stdout.close()
gone = time.monotonic()
status = child.wait()
print(f"conv.exe whose reader left after 300 bytes: ended {time.monotonic() - gone:.2f} s later "
      f"with status {status}; left in its folder: {os.listdir('left') or 'nothing'}")
PY
