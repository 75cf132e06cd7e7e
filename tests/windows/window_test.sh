#!/usr/bin/env bash
# vintrel.exe as a Windows user gets it, on a real X display (run under xvfb-run): the zip
# unpacked into an empty folder, the window seen and driven from another program.
# Usage: window_test.sh ZIP WINDOW_PROBE [SCREENSHOT]   (wine's prefix prepared by the caller)
set -euo pipefail
zip=$1
probe=$2
screenshot=${3:-}
work=$(mktemp -d)
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
probe() { wine "$probe" "$@" </dev/null | tr -d '\r'; }

unzip -q "$zip" -d "$work/unpacked"
app=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
[ -f "$app/vintrel.exe" ] || { echo "FAILED: the zip has no vintrel.exe" >&2; exit 1; }

# A clip the encoder of the zip reads; without one, the probe stands in for the encoder.
mkdir "$work/sources"
if [ -f "$app/data/conv.exe" ]; then
  ffmpeg -nostdin -v error -f lavfi -i testsrc=size=176x144:rate=15:duration=1 \
    -f lavfi -i sine=frequency=440:sample_rate=22050:duration=1 -c:v mpeg4 -c:a pcm_s16le "$work/sources/clip.avi"
else
  echo "window test: the zip has no data/conv.exe; the probe stands in for the encoder" >&2
  mkdir -p "$app/data"
  cp "$probe" "$app/data/conv.exe"
  : >"$work/sources/clip.avi"
fi

# The headless tests' server knows no display: start afresh on this one.
wineserver -k >/dev/null 2>&1 || true
wineserver -w
wine "$app/vintrel.exe" >"$work/window.log" 2>&1 </dev/null &

described=$(probe describe) || fail "describe: $described"
case $described in
  "294x421 key=FF00FF "*" flags=1") ;;
  *) fail "window: [$described], expected 294x421 with the magenta key and flags 1" ;;
esac

# The outline: the keyed corner shows what lies behind (Xvfb's black root), the title strip the skin.
read -r left top < <(xwininfo -name Vintrel | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {print x, $NF}')
import -window root "$work/screen.png"
pixel() { convert "$work/screen.png" -format "%[fx:int(255*p{$1,$2}.r)],%[fx:int(255*p{$1,$2}.g)],%[fx:int(255*p{$1,$2}.b)]" info:; }
corner=$(pixel "$left" "$top")
[ "$corner" = "0,0,0" ] || fail "the keyed corner is not see-through: $corner"
skin=$(pixel $((left + 140)) $((top + 20)))
[ "$skin" != "0,0,0" ] && [ "$skin" != "255,0,255" ] || fail "no skin in the title strip: $skin"
if [ -n "$screenshot" ]; then
  convert "$work/screen.png" -crop "$((294 + 24))x$((421 + 24))+$((left - 12))+$((top - 12))" +repage "$screenshot"
fi

# The audio bitrate's arrow picture lies above its combo box and opens its list (control 23).
clicked=$(probe click 271 278) || fail "no click on the arrow"
[ "$clicked" = VintrelArrow ] || fail "the arrow of cmbAB lies under a $clicked"
dropped=$(probe dropped-picker) || fail "the arrow opened no list: $dropped"
[ "$dropped" = 23 ] || fail "the arrow of cmbAB opened list $dropped"

# The keyboard alone, through the X server as a person types: Tab visits every control in order,
# Space presses the focused button, Insert and Ctrl+O add, Ctrl+Enter converts (with nothing
# queued: the "Add" box), Escape closes each dialog and the keyboard goes back where it was.
keys() { xdotool key --delay 100 "$@"; }
xdotool search --sync --name '^Vintrel$' windowfocus --sync >/dev/null 2>&1 || fail "the window cannot take the keyboard"
keys Escape
for _ in $(seq 13); do [ "$(probe focus)" = "Add New" ] && break; keys Tab; done
[ "$(probe focus)" = "Add New" ] || fail "Tab never reaches Add New"
order=""
for _ in $(seq 12); do keys Tab; order="$order$(probe focus),"; done
expected="Remove,Convert,SysListView3210,ComboBox20,ComboBox21,ComboBox22,ComboBox23,Edit30,Choose the output folder,Minimise,Exit,Add New,"
[ "$order" = "$expected" ] || fail "Tab order [$order], expected [$expected]"
# Wine's GetGUIThreadInfo still names a closed dialog, so where the keyboard went back is
# shown by using it: BACK Shift+Tabs from there reach Add New, whose Space opens "Open Files".
open_files_round() {  # TITLE KEYS...
  local title=$1
  shift
  keys "$@"
  probe dialog "$title" >/dev/null || fail "$* opened no \"$title\""
  keys Escape
  probe dialog-gone "$title" >/dev/null || fail "Escape left \"$title\" open"
}
dialog_round() {  # TITLE BACK KEYS...
  local title=$1 back=$2
  shift 2
  open_files_round "$title" "$@"
  local to_add=() from_add=()
  for _ in $(seq "$back"); do to_add+=(shift+Tab); from_add+=(Tab); done
  open_files_round "Open Files" "${to_add[@]}" space || true
  [ "$back" -eq 0 ] || keys "${from_add[@]}"
}
dialog_round "Open Files" 0 space
dialog_round "Open Files" 0 Return
keys Tab Tab Tab Tab
dialog_round "Open Files" 4 Insert
dialog_round "Open Files" 4 ctrl+o
dialog_round "Add" 4 ctrl+Return
# Names and roles as oleacc gives them (43: push button). Wine may give none: then say so.
names=$(probe names) || true
for name in "Add New" "Remove" "Convert"; do
  if printf '%s\n' "$names" | grep -qF "$name|"; then
    printf '%s\n' "$names" | grep -qxF "$name|43" || fail "$name is not a push button to oleacc: $names"
  else
    echo "window test: wine's oleacc did not name $name (it gave: $(printf '%s' "$names" | tr '\n' ' '))" >&2
  fi
done

# Other programs' view: the hidden command box.
winclip=$(winepath -w "$work/sources/clip.avi" 2>/dev/null)
probe command-box a0 || fail "a0 not accepted"
probe answer "Open Files" "$winclip" || fail "the Open Files dialog did not take the path"
probe list 1 >/dev/null || fail "the chosen file was not queued"
probe command-box b2 || fail "b2 not accepted"
probe list 0 >/dev/null || fail "the batch did not work through the queue"
[ -s "$app/output/clip.3gp" ] || fail "no clip.3gp in the output folder: $(ls -A "$app/output" 2>&1)"

# The Add image under the mouse: the release opens the dialog as the command box did.
probe click 56 47 >/dev/null || fail "no click on Add"
probe answer "Open Files" "$winclip" || fail "Add by the mouse opened no Open Files dialog"
probe list 1 >/dev/null || fail "the file chosen after a click on Add was not queued"

probe click-to-end 277 14 >/dev/null || fail "the exit image did not end the program"
settings=$(tr -d '\r' <"$app/setup.ini" 2>/dev/null | head -n 4 | tr '\n' ' ')
[ "$settings" = '"2" "2" "0" "1" ' ] || fail "setup.ini after exit: [$settings]"

[ "$failures" -eq 0 ] || { cat "$work/window.log" >&2; exit 1; }
echo "window test passed: $(basename "$zip")"
