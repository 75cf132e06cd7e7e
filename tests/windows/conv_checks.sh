# Sourced by zip_test.sh: data/conv.exe from the unpacked zip, alone and under vintrel-cli.exe, on
# clips made here by Debian's ffmpeg. Uses the caller's app, work, run, fail and expect_equal.
conv_back=$PWD
mkdir "$work/conv"
cd "$work/conv"

clip() {  # file seconds ffmpeg-arguments...
  local file=$1 seconds=$2
  shift 2
  ffmpeg -nostdin -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" "$@" -shortest "$file"
}
conv() {  # arguments...: sets rc and out (stdout and stderr, CR LF made LF)
  set +e
  wine "$app/data/conv.exe" "$@" >"$work/conv.out" 2>&1 </dev/null
  rc=$?
  set -e
  out=$(tr -d '\r' <"$work/conv.out")
}
convert() {  # source size rate output: the line the window builds
  conv -i "$1" -b 120k -y -r "$3" -s "$2" -acodec libamr_nb -ar 8000 -ac 1 -ab 5.15k "$4"
}
facts() {  # file: "video | audio | container" as ffprobe sees them
  ffprobe -v error -of csv=p=0 -show_entries \
    stream=codec_name,width,height,avg_frame_rate,sample_rate,channels:format=format_name:format_tags=major_brand \
    "$1" | paste -sd '|'
}
container='"mov,mp4,m4a,3gp,3g2,mj2",3gp4'
# Waits until a pending output shows in the folder; false when none came.
pending_in() {
  for _ in $(seq 200); do
    compgen -G "$1/*.part-*" >/dev/null && return 0
    sleep 0.05
  done
  return 1
}

# Every format of the Add dialog with its usual codecs, then what phones and downloads give
# people (the same list as the Linux build's); names with blanks and non-ASCII letters.
while read -r ext size rate expected_rate codecs; do
  source="Vidéo 映像 $ext.$ext"
  # shellcheck disable=SC2086  # the codec arguments are words
  clip "$source" 1 $codecs
  convert "$source" "$size" "$rate" "Vidéo 映像 $ext.3gp"
  expect_equal "conv.exe status for .$ext" "$rc" 0
  expect_equal "3GP from .$ext" "$(facts "Vidéo 映像 $ext.3gp")" \
    "h263,${size/x/,},$expected_rate|amr_nb,8000,1,0/0|$container"
done <<'EOF'
avi 176x144 14.985 15000/1001 -c:v mpeg4 -c:a libmp3lame
flv 128x96 25.0 25/1 -c:v flv1 -c:a libmp3lame -ar 22050
wmv 176x144 14.985 15000/1001 -c:v wmv2 -c:a wmav2
asf 176x144 23.975 24000/1001 -c:v msmpeg4 -c:a wmav2
mov 352x288 29.97 30000/1001 -c:v libx264 -pix_fmt yuv420p -c:a aac
mp4 176x144 14.985 15000/1001 -c:v libx264 -pix_fmt yuv420p -c:a aac
mpg 176x144 14.985 15000/1001 -c:v mpeg1video -c:a mp2 -f mpeg
dat 128x96 29.97 30000/1001 -c:v mpeg2video -c:a mp2 -f mpeg
mkv 176x144 14.985 15000/1001 -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a libvorbis
webm 176x144 14.985 15000/1001 -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -c:a libopus
vp8.webm 176x144 14.985 15000/1001 -c:v libvpx -deadline realtime -cpu-used 8 -c:a libvorbis
av1.mp4 176x144 14.985 15000/1001 -c:v libaom-av1 -usage realtime -cpu-used 8 -c:a aac
ogv 176x144 14.985 15000/1001 -c:v libtheora -c:a libvorbis
ts 176x144 14.985 15000/1001 -c:v mpeg2video -c:a mp2
EOF

# What phones and downloads give as sound alone.
while read -r ext codecs; do
  # shellcheck disable=SC2086  # the codec arguments are words
  ffmpeg -nostdin -v error -y -f lavfi -i "sine=frequency=440:duration=1" $codecs "sound.$ext"
  convert "sound.$ext" 176x144 14.985 "sound $ext.3gp"
  expect_equal "conv.exe status for .$ext" "$rc" 0
  expect_equal "3GP from .$ext" "$(facts "sound $ext.3gp")" "amr_nb,8000,1,0/0|$container"
done <<'EOF'
mp3 -c:a libmp3lame
m4a -c:a aac
flac -c:a flac
opus.ogg -c:a libopus
wav -c:a pcm_s16le
EOF

# A damaged source: its reason on the last line, status 1, and no file beside it.
mp4="Vidéo 映像 mp4.mp4"
head -c $(($(stat -c %s "$mp4") / 2)) "$mp4" >"broken 映像.mp4"
before=$(ls -A)
convert "broken 映像.mp4" 176x144 14.985 "broken 映像.3gp"
expect_equal "conv.exe status for a damaged source" "$rc" 1
case $(tail -n 1 <<<"$out") in
  "Error: broken 映像.mp4: "?*) ;;
  *) fail "damaged source's last line: [$(tail -n 1 <<<"$out")]" ;;
esac
expect_equal "files after a damaged source" "$(ls -A)" "$before"

# Stopped while writing: Ctrl+C reaches conv.exe's handler; the runner of vintrel-cli.exe ends
# it outright (TerminateProcess). Neither leaves anything in the output folder.
clip long.avi 30 -c:v mpeg4 -c:a libmp3lame
mkdir stopped
wine "$app/data/conv.exe" -i long.avi -s 352x288 stopped/long.3gp >"$work/conv.out" 2>&1 </dev/null &
conv_pid=$!
pending_in stopped || fail "conv.exe wrote no pending output"
kill -INT "$conv_pid"
set +e
wait "$conv_pid"
rc=$?
set -e
expect_equal "conv.exe status after Ctrl+C" "$rc" 130
expect_equal "conv.exe last line after Ctrl+C" "$(tail -n 1 "$work/conv.out" | tr -d '\r')" \
  "Error: stopped/long.3gp: interrupted, nothing written"
expect_equal "files left by conv.exe after Ctrl+C" "$(ls -A stopped)" ""

# Its reader gone (the window or batch that started it has left): conv.exe stops at its next
# line, leaves nothing and ends with 141.
mkdir unheard
set +e
wine "$app/data/conv.exe" -i long.avi -s 352x288 unheard/long.3gp 2>&1 </dev/null | head -c 1 >/dev/null
rc=${PIPESTATUS[0]}
set -e
expect_equal "conv.exe status once its reader left" "$rc" 141
expect_equal "files left by conv.exe once its reader left" "$(ls -A unheard)" ""

wine "$app/vintrel-cli.exe" --output stopped long.avi >"$work/out" 2>"$work/err" </dev/null &
cli_pid=$!
pending_in stopped || fail "the batch wrote no pending output"
kill -INT "$cli_pid"
set +e
wait "$cli_pid"
rc=$?
set -e
expect_equal "stopped batch status" "$rc" 130
sleep 0.5  # the runner does not wait for the encoder it ends
expect_equal "files left by a stopped batch" "$(ls -A stopped)" ""

# A batch of three with a damaged file in the middle: two outputs, the failure named, status 1.
run --output batch "Vidéo 映像 avi.avi" "broken 映像.mp4" "Vidéo 映像 mov.mov"
expect_equal "batch status" "$rc" 1
expect_equal "batch outputs" "$(ls -A batch | paste -sd '|')" "Vidéo 映像 avi.3gp|Vidéo 映像 mov.3gp"
case $out in
  *$'Failed:\n  broken 映像.mp4: '?*) ;;
  *) fail "the batch did not name its failure: [$out]" ;;
esac
grep -qF "Converted 2 of 3 files" <<<"$out" || fail "the batch did not count its files: [$out]"

cd "$conv_back"
