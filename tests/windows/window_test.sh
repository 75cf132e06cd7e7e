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
# Other programs reach the window as a user's script does: through the CLI of the same zip.
box() { wine "$app/vintrel-cli.exe" --command-box "$1" </dev/null 2>&1 | tr -d '\r'; }

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
rects=$(probe rects) || fail "controls away from their places: $rects"

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
# What a screen reader gets through oleacc, per shown child: name|role|description|value|the name
# the system's own object gives without the window's answer (roles: 43 push button, 33 list,
# 46 combo box, 42 text, 48 progress bar). The buttons and pickers describe themselves by their
# tool tips; the output path is labelled for the system's object too (wine's labels only edits).
names=$(probe names) || fail "names: $names"
for want in "Add New\|43\|[^|]+\|" "Remove\|43\|[^|]+\|" "Convert\|43\|[^|]+\|" "File List\|33\|" \
  "Video Bitrate\|46\|[^|]+\|[^|]+\|" "Screen Size\|46\|[^|]+\|[^|]+\|" "FPS\|46\|[^|]+\|[^|]+\|" \
  "Audio Bitrate\|46\|[^|]+\|[^|]+\|" "Output Path\|42\|[^|]*\|[^|]+\|Output Path$" \
  "Choose the output folder\|43\|[^|]+\|" "Minimise\|43\|[^|]+\|" "Exit\|43\|[^|]+\|" "Progress\|48\|\|0%\|" \
  "Drag & Drop Files Here\|41\|"; do
  grep -qE "^$want" <<<"$names" || fail "no [$want] to a screen reader; it got: $(tr '\n' ' ' <<<"$names")"
done
# A reader's default action presses as Space does.
probe press "Add New" >/dev/null || fail "Add New has no default action"
probe dialog "Open Files" >/dev/null || fail "the default action of Add New opened no \"Open Files\""
keys Escape
probe dialog-gone "Open Files" >/dev/null || fail "Escape left \"Open Files\" open"

# Other programs' view: the hidden command box. Add's dialog must not keep the sender waiting.
winclip=$(winepath -w "$work/sources/clip.avi" 2>/dev/null)
answer=$(box a0) || fail "a0 not accepted: $answer"
probe answer "Open Files" "$winclip" || fail "the Open Files dialog did not take the path"
probe list 1 >/dev/null || fail "the chosen file was not queued"
# The end text is announced: a reader listening for name changes hears "Done.".
wine "$probe" await-name "Done." </dev/null >"$work/heard" 2>&1 &
heard=$!
for _ in $(seq 100); do grep -q ready "$work/heard" && break; sleep 0.2; done
answer=$(box b2) || fail "b2 not accepted: $answer"
probe list 0 >/dev/null || fail "the batch did not work through the queue"
wait "$heard" || fail "no reader heard \"Done.\": $(tr -d '\r' <"$work/heard")"
[ -s "$app/output/clip.3gp" ] || fail "no clip.3gp in the output folder: $(ls -A "$app/output" 2>&1)"

# The Add image under the mouse: the release opens the dialog as the command box did.
probe click 56 47 >/dev/null || fail "no click on Add"
probe answer "Open Files" "$winclip" || fail "Add by the mouse opened no Open Files dialog"
probe list 1 >/dev/null || fail "the file chosen after a click on Add was not queued"

# A second launch with files ("Open with") hands them to this window and ends; no second window.
deep="$work/sources/a folder with a long name/and another one below it"
mkdir -p "$deep"
windeep=$(winepath -w "$deep" 2>/dev/null)
launched=()
for i in 1 2 3 4 5 6 7; do
  : >"$deep/video number $i.avi"
  launched+=("$windeep\\video number $i.avi")
done
timeout 60 wine "$app/vintrel.exe" "$winclip" "${launched[@]}" </dev/null >>"$work/window.log" 2>&1 ||
  fail "the second launch did not end by itself"
probe list 9 >/dev/null || fail "the second launch's files did not reach the window"
[ "$(probe windows)" = 1 ] || fail "a second launch left $(probe windows) windows"

# Remove takes the selected row: the first one, clicked.
probe click 60 112 >/dev/null || fail "no click on the list"
answer=$(box a1) || fail "a1 not accepted: $answer"
probe list 8 >/dev/null || fail "Remove did not take the selected row"
# A text past the box's line limit is no command, however it is set: the selected row stays.
probe click 60 112 >/dev/null || fail "no click on the list"
for length in 4098 100002; do
  probe long-box "$length" >/dev/null || fail "long-box $length"
  sleep 1
  probe list 8 >/dev/null || fail "a $length-character box text was taken as a command"
done

# Past five rows the vertical bar takes its width from the name column: no horizontal bar, and
# the names stay in sight with the folders elided in the middle.
look=$(probe list-look 1) || fail "list-look: $look"
read -r rows hscroll widths client < <(head -n 1 <<<"$look")
[ "$hscroll" = hscroll=0 ] || fail "a horizontal scroll bar shows: $look"
[ "$(( ${widths#widths=} ))" = "${client#client=}" ] || fail "the columns do not fill the list: $look"
second=$(tail -n 1 <<<"$look")
case $second in
  "Z:"*"…"*'\video number 1.avi') ;;
  *) fail "the second row does not show its name: [$second]" ;;
esac

# Browse's choice lands in the output folder box.
probe click 259 330 >/dev/null || fail "no click on Browse"
browsed=$(probe browse) || fail "browse: $browsed"
chosen=$(tail -n 1 <<<"$browsed")
[ "$chosen" != "$(head -n 1 <<<"$browsed")" ] && [ -d "$(winepath -u "$chosen" 2>/dev/null)" ] ||
  fail "Browse's folder did not reach the output folder box: [$browsed]"

probe click-to-end 277 14 >/dev/null || fail "the exit image did not end the program"
settings=$(tr -d '\r' <"$app/setup.ini" 2>/dev/null | head -n 4 | tr '\n' ' ')
[ "$settings" = '"2" "2" "0" "1" ' ] || fail "setup.ini after exit: [$settings]"

# Log-off: the temporary files go, the settings are not saved, the program ends.
wine "$app/vintrel.exe" >>"$work/window.log" 2>&1 </dev/null &
probe describe >/dev/null || fail "the window did not come back"
tmp=$(winepath -u 'C:\tmp' 2>/dev/null)
: >"$tmp/tmpfile.3gp"
: >"$tmp/tmpfile.dat"
printf '"1"\r\n"1"\r\n"1"\r\n"1"\r\n""\r\n' >"$app/setup.ini"
probe end-session || fail "log-off did not end the program"
[ ! -e "$tmp/tmpfile.3gp" ] && [ ! -e "$tmp/tmpfile.dat" ] || fail "log-off left the temporary files: $(ls -A "$tmp")"
[ "$(head -c 4 "$app/setup.ini")" = '"1"'$'\r' ] || fail "log-off saved the settings"

# A long batch that fails every file: the end box names the first 20, holds all 200 behind its
# details and stays on the screen.
mkdir "$work/broken"
winbroken=$(winepath -w "$work/broken" 2>/dev/null)
broken=()
for i in $(seq 200); do
  : >"$work/broken/broken $i.avi"
  broken+=("$winbroken\\broken $i.avi")
done
wine "$app/vintrel.exe" "${broken[@]}" >>"$work/window.log" 2>&1 </dev/null &
probe list 200 >/dev/null || fail "the 200 files were not queued"
answer=$(box b2) || fail "b2 not accepted: $answer"
# Which programs were still running tells a batch that hangs from a box that never came.
running() { ps -eo comm= | grep -iE '\.exe|wine' | sort | uniq -c | tr -s ' \n' ' '; }
endbox=$(probe end-box) || fail "end-box: $endbox; running: $(running)"
[ "$endbox" = "fits=1 shown=20 more=1 all=200" ] || fail "the end box of 200 failures: $endbox"
probe click-to-end 277 14 >/dev/null || fail "the exit image did not end the program"

# The installer by hand, on a folder with the user's files in it: it asks; No keeps it on its
# folder page and writes nothing, Yes installs.
setup=${zip%-win64.zip}-setup.exe
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null </dev/null | tr -d '\r')
mine=$(winepath -u "$local_app_data\\ByHand" 2>/dev/null)
mkdir -p "$mine"
printf 'my notes' >"$mine/README.txt"
wine "$setup" "/D=$local_app_data\\ByHand" >>"$work/window.log" 2>&1 </dev/null &
setup_pid=$!
setup_windows() { xdotool search --onlyvisible --name '^Vintrel Setup' 2>/dev/null | wc -l; }
wait_setup_windows() {  # how many windows, within 30 s
  for _ in $(seq 300); do
    [ "$(setup_windows)" = "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
wait_setup_windows 1 || fail "the installer's window did not open"
xdotool search --onlyvisible --name '^Vintrel Setup' windowfocus --sync >/dev/null 2>&1 ||
  fail "the installer's window cannot take the keyboard"
keys Return  # the licence: I Agree
sleep 1
keys Return  # the folder: Install
wait_setup_windows 2 || fail "the installer did not ask about a folder of the user's"
sleep 1  # the box takes the keyboard once it is drawn
keys Return  # No, the default
wait_setup_windows 1 || fail "the installer's question did not close on No"
[ "$(ls -A "$mine")" = README.txt ] || fail "the installer wrote into the user's folder after No: $(ls -A "$mine")"
keys Return
wait_setup_windows 2 || fail "the installer did not ask again"
sleep 1
keys shift+Tab Return  # Yes
for _ in $(seq 200); do
  [ -f "$mine/uninstall.exe" ] && break
  sleep 0.1
done
[ -f "$mine/vintrel.exe" ] || fail "the installer did not install after Yes"
kill "$setup_pid" 2>/dev/null || true

[ "$failures" -eq 0 ] || { cat "$work/window.log" >&2; exit 1; }
echo "window test passed: $(basename "$zip")"
