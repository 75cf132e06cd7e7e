#!/usr/bin/env bash
# What a hostile or broken input may cost, against the bounds the program sets itself:
#
#   vintrel-cli's peak memory while its encoders print 500 MB each (--jobs 1 and 2), and the
#     reason it gives for them; goal <= 100 MB, the reason the encoder's last line
#   conv.exe on files that declare ten hours but hold two seconds (with and without a picture);
#     goal <= 10 s and <= 20 MB of output; a 60 s still picture over 60 s of sound keeps 60 s
#   conv.exe whose reader leaves after 300 bytes: seconds until it has gone (goal <= 1 s after
#     the next progress line) and what it left
#   an encoder that prints 1 MB without a line feed, then fails: vintrel-cli with 100 such files
#     (peak RSS against one-line failures, bytes printed; goal under 1 MB) and the window with 50
#     (the command box's slowest answer during the batch and at its end box, goal well under 5 s;
#     the window's processor time and memory)
#   four launch messages of 16 MiB of one-byte names sent to the window: its memory after them
#     (goal far below the 2.2 GB it once took), and whether the list stayed empty
#   a stopped window and a launch that gives up meanwhile; a launch meeting 8 idle launches;
#     command-box lines of 4 098, 100 002 and 180 002 bytes in one write: what each got
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
# vintrel-cli and 100 files whose encoder prints 1 MB with no line feed, then fails.
mkdir -p flood/data flood-out
cp "$build/bin/vintrel-cli" flood/
cat >flood/data/flood.sh <<SCRIPT
#!/bin/sh
echo run >>"$work/flood-runs"
yes x | tr -d '\n' | head -c 1000000
exit 1
SCRIPT
cat >flood/data/terse.sh <<'SCRIPT'
#!/bin/sh
echo "Error: $2: it failed"
exit 1
SCRIPT
chmod +x flood/data/flood.sh flood/data/terse.sh
cp flood/data/flood.sh flood/data/conv.exe
for i in $(seq 100); do touch "flood-$i.avi"; done
/usr/bin/time -f "%M" -o rss.txt flood/vintrel-cli --output "$work/flood-out" flood-*.avi >cli-flood.log 2>&1 || true
flood_rss=$(tail -n 1 rss.txt)
cp flood/data/terse.sh flood/data/conv.exe
/usr/bin/time -f "%M" -o rss.txt flood/vintrel-cli --output "$work/flood-out" flood-*.avi >cli-terse.log 2>&1 || true
cp flood/data/flood.sh flood/data/conv.exe
longest=$(grep -o "FAILED: .*" cli-flood.log | sed 's/^FAILED: //' | LC_ALL=C.UTF-8 wc -L)
echo "vintrel-cli, 100 files whose encoder prints 1 MB without a line feed: peak RSS $((flood_rss / 1024)) MB" \
  "($(($(tail -n 1 rss.txt) / 1024)) MB with one-line failures), $(stat -c %s cli-flood.log) bytes printed" \
  "(goal < 1000000), longest reason $longest characters"

# The window: 50 such files, the command box asked every 200 ms meanwhile.
if [ -x "$build/bin/vintrel" ]; then
  mkdir -p win-tmp && chmod 700 win-tmp
  cp "$build/bin/vintrel" flood/
  export TMPDIR="$work/win-tmp" QT_QPA_PLATFORM=offscreen
  unset XDG_RUNTIME_DIR
  ask() { # the seconds one command-box text takes to be answered
    local start end
    start=$(date +%s.%N)
    "$build/bin/vintrel-cli" --command-box x >/dev/null 2>&1 || echo "(refused) " >&2
    end=$(date +%s.%N)
    echo "$end - $start" | bc
  }
  sockets="win-tmp/vintrel-$(id -u)"
  start_window() { # the window with these files, once both its sockets listen; sets $window
    rm -f "$sockets/launch" "$sockets/command-box"
    flood/vintrel "$@" 2>/dev/null &
    window=$!
    until [ -S "$sockets/launch" ] && [ -S "$sockets/command-box" ]; do sleep 0.2; done
    sleep 1
  }
  window_stat() { # RSS now, its peak, and processor seconds so far
    echo "$(awk '/VmRSS/ { print int($2 / 1024) }' "/proc/$1/status") MB" \
      "(peak $(awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$1/status") MB)," \
      "$(awk -v tck="$(getconf CLK_TCK)" '{ printf "%.1f", ($14 + $15) / tck }' "/proc/$1/stat") s of processor time"
  }
  rm -f flood-runs
  start_window $(for i in $(seq 50); do echo "flood-$i.avi"; done)
  before=$(window_stat "$window")
  "$build/bin/vintrel-cli" --command-box b2 >/dev/null
  slowest=0
  while [ "$(cat flood-runs 2>/dev/null | wc -l)" -lt 50 ]; do
    took=$(ask)
    slowest=$(echo "if ($took > $slowest) $took else $slowest" | bc)
    sleep 0.2
  done
  sleep 1
  at_end=$(ask)
  echo "window, 50 files whose encoder prints 1 MB without a line feed: command box answered within" \
    "$slowest s during the batch, $at_end s with the end box up (goal well under 5 s); window" \
    "$before at start, $(window_stat "$window") at the end"
  kill "$window"
  wait "$window" 2>/dev/null || true

  # Four launch messages of 16 MiB of one-byte names each, one after another.
  start_window
  before=$(window_stat "$window")
  python3 - "$sockets/launch" <<'PY'
import socket, struct, sys, time
count = (16 * 1024 * 1024 - 20) // 5
body = struct.pack("<QI", int(time.monotonic() * 1000) + 600000, count) + b"\x01\x00\x00\x00a" * count
message = b"VLM2" + struct.pack("<I", len(body)) + body
for _ in range(4):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(5)
        s.connect(sys.argv[1])
        s.sendall(message)
        try:
            s.recv(1)
        except OSError:
            pass
PY
  sleep 2
  echo "window after four 16 MiB launch messages ($(((16 * 1024 * 1024 - 20) / 5)) names each): $(window_stat "$window")" \
    "(it was $before; goal far below 2.2 GB)"
  kill "$window"
  wait "$window" 2>/dev/null || true

  # A stopped window: the launch gives up, and the woken window must not take the file after all.
  start_window
  kill -STOP "$window"
  status=0
  flood/vintrel "$work/flood-1.avi" 2>launch.log || status=$?
  kill -CONT "$window"
  sleep 1
  rm -f flood-runs
  "$build/bin/vintrel-cli" --command-box b2 >/dev/null 2>&1 || true
  sleep 2
  echo "launch to a stopped window: exit $status, \"$(grep '^vintrel:' launch.log)\"; after waking, the window" \
    "converted $(cat flood-runs 2>/dev/null | wc -l) file(s) (goal 0)"
  python3 - "$sockets" "$work/flood/vintrel" "$work/flood-1.avi" <<'PY'
import socket, subprocess, sys
folder, program, clip = sys.argv[1:]
held = []
for _ in range(8):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.connect(folder + "/launch")
    held.append(s)
run = subprocess.run([program, clip], capture_output=True, text=True)
said = [line for line in run.stderr.splitlines() if line.startswith("vintrel:")]
print(f"launch meeting 8 idle launches: exit {run.returncode}, {said}")
for length in (4098, 100002, 180002):
    with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
        s.settimeout(5)
        s.connect(folder + "/command-box")
        try:
            s.sendall(b" " * (length - 3) + b"b1\n")
            answer = s.recv(16)
        except OSError as error:
            answer = str(error).encode()
        print(f"command-box line of {length} bytes in one write: answered {answer!r}")
PY
  kill "$window"
  wait "$window" 2>/dev/null || true
  unset TMPDIR QT_QPA_PLATFORM
fi

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
