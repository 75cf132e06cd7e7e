#!/usr/bin/env bash
# vintrel-cli.exe as a Windows user gets it: the zip unpacked, run under wine from an empty
# folder. Usage: zip_test.sh ZIP SLOW_ENCODER (wine's prefix and server prepared by the caller).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
zip=$1
slow_encoder=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}
expect_equal() {  # what actual expected
  [ "$2" = "$3" ] || fail "$1: got [$2], expected [$3]"
}

unzip -q "$zip" -d "$work/unpacked"
app=$(find "$work/unpacked" -mindepth 1 -maxdepth 1 -type d)
for file in vintrel.exe vintrel-cli.exe data/conv.exe sound.wav LICENSE THIRD-PARTY.md README.txt; do
  [ -f "$app/$file" ] || fail "the zip has no $file"
done
cmp -s <(tr -d '\r' <"$app/LICENSE") /usr/share/common-licenses/GPL-3 || fail "LICENSE is not the GPL-3 text"

mkdir "$work/empty"
cd "$work/empty"
run() {  # arguments...: sets rc, out (CR LF made LF) and err
  set +e
  wine "$app/vintrel-cli.exe" "$@" >"$work/out" 2>"$work/err" </dev/null
  rc=$?
  set -e
  out=$(tr -d '\r' <"$work/out")
  err=$(tr -d '\r' <"$work/err")
}

run --help
expect_equal "--help status" "$rc" 0
expect_equal "--help first line" "$(head -n 1 <<<"$out")" "Usage: vintrel-cli [options] FILE..."

# setup.ini beside the program, as another Windows tool writes it: Windows-1252 text.
printf '"2"\r\n"3"\r\n"0"\r\n"1"\r\n"C:\\Vid\xe9os"\r\n' >"$app/setup.ini"
name='Vidéo 映像 №1'
winapp=$(winepath -w "$app" 2>/dev/null)
run --dry-run "$name.avi" "b.mp4"
expect_equal "--dry-run status" "$rc" 0
expect_equal "--dry-run lines" "$(wc -l <<<"$out")" 4
first=$(sed -n 1p <<<"$out")
second=$(sed -n 3p <<<"$out")
case $(sed -n 2p <<<"$out") in
  "# H.263 Profile 0 Level "*", about "*" MB per minute"*) ;;
  *) fail "--dry-run level line: [$(sed -n 2p <<<"$out")]" ;;
esac
case $first in
  "\"$winapp\\data\\conv.exe\" -i \"$name.avi\" "*"-s 352x288 "*"\"C:\\Vidéos\\$name.3gp\"") ;;
  *) fail "--dry-run first line: [$first]" ;;
esac
case $second in
  "\"$winapp\\data\\conv.exe\" -i \"b.mp4\" "*"\"C:\\Vidéos\\b.3gp\"") ;;
  *) fail "--dry-run second line: [$second]" ;;
esac

run --size 1x1 "$name.avi"
expect_equal "bad usage status" "$rc" 2
case $err in
  *"invalid value '1x1' for --size"*) ;;
  *) fail "bad usage message: [$err]" ;;
esac

source "$here/conv_checks.sh"

# Ctrl+C in the middle of a batch: the encoder is stopped, the rest is left, status 130.
mkdir -p "$app/data" "$work/sources"
cp "$slow_encoder" "$app/data/conv.exe"
touch "$work/sources/first.avi" "$work/sources/second.avi"
wine "$app/vintrel-cli.exe" --output "$work/converted" "$work/sources/first.avi" "$work/sources/second.avi" \
  >"$work/out.txt" 2>"$work/err.txt" </dev/null &
cli_pid=$!  # wine becomes the Windows process itself
# Wine shows the encoder by its Windows path; the temporary folder's name makes it ours.
encoder_runs() { pgrep -f "$(basename "$work").*conv\.exe" >/dev/null; }
for _ in $(seq 100); do
  encoder_runs && break
  sleep 0.1
done
encoder_runs || fail "the batch did not start the encoder"
kill -INT "$cli_pid"
set +e
wait "$cli_pid"
rc=$?
set -e
expect_equal "interrupted batch status" "$rc" 130
grep -q "Not converted (the batch stopped before them):" "$work/out.txt" || fail "no list of files left: $(cat "$work/out.txt")"
grep -q "second.avi" "$work/out.txt" || fail "second.avi not named as left"
sleep 0.5
encoder_runs && fail "the encoder still runs after the batch was stopped"
[ -z "$(ls -A "$work/converted" 2>/dev/null)" ] || fail "files in the output folder: $(ls -A "$work/converted")"

expect_equal "files left in the working folder" "$(ls -A)" ""

# The installer beside the zip: a silent per-user install whose CLI converts; "Open with" beside
# someone else's default; a silent uninstall that leaves only the user's settings and videos.
setup=${zip%-win64.zip}-setup.exe
reg_query() { { wine reg query "$@" 2>/dev/null </dev/null || true; } | tr -d '\r'; }
# wine's reg prints its "Unable to find" on stdout: only the status tells.
has_key() { wine reg query "$1" >/dev/null 2>&1 </dev/null; }
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vintrel'
classes='HKCU\Software\Classes'
wine reg add "$classes\.mp4" /ve /d Other.mp4 /f >/dev/null 2>&1 </dev/null
set +e
wine "$setup" /S </dev/null >/dev/null 2>&1
rc=$?
set -e
expect_equal "setup.exe /S status" "$rc" 0
local_app_data=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null </dev/null | tr -d '\r')
installed=$(winepath -u "$local_app_data\Programs\Vintrel" 2>/dev/null)
for file in vintrel.exe vintrel-cli.exe data/conv.exe sound.wav uninstall.exe; do
  [ -f "$installed/$file" ] || fail "the installer did not install $file"
done
start_menu=$(winepath -u "$(wine cmd /c echo %APPDATA% 2>/dev/null </dev/null | tr -d '\r')\Microsoft\Windows\Start Menu\Programs" 2>/dev/null)
[ -f "$start_menu/Vintrel.lnk" ] || fail "no Start-menu shortcut"
before=$(reg_query "$uninstall_key")
echo "installer: wine reg query after install:"$'\n'"$before"
for value in DisplayName DisplayVersion Publisher InstallLocation UninstallString EstimatedSize; do
  grep -q "^ *$value " <<<"$before" || fail "the uninstall key has no $value"
done
reg_query "$classes\.avi\OpenWithProgids" | grep -q "Vintrel.Video" || fail "no Open with entry for .avi"
reg_query "$classes\.mp4" /ve | grep -q "Other.mp4" || fail "the installer took over the default for .mp4"
(cd "$work/conv" && wine "$installed/vintrel-cli.exe" --output "$work/installed-out" "Vidéo 映像 avi.avi" \
  </dev/null >/dev/null 2>&1) || fail "the installed vintrel-cli.exe did not convert"
[ -s "$work/installed-out/Vidéo 映像 avi.3gp" ] || fail "no output from the installed vintrel-cli.exe"

printf '"2"\r\n"2"\r\n"0"\r\n"1"\r\n""\r\n' >"$installed/setup.ini"
mkdir -p "$installed/output"
: >"$installed/output/kept.3gp"
wine "$installed/uninstall.exe" /S </dev/null >/dev/null 2>&1 || fail "uninstall.exe /S failed"
# The uninstaller runs on from a copy of itself: wait for it to finish.
for _ in $(seq 300); do
  [ -e "$installed/uninstall.exe" ] || has_key "$uninstall_key" || break
  sleep 0.1
done
sleep 1
expect_equal "what the uninstaller left" "$(cd "$installed" && find . -mindepth 1 | sort | paste -sd ' ')" \
  "./output ./output/kept.3gp ./setup.ini"
[ ! -e "$start_menu/Vintrel.lnk" ] || fail "the Start-menu shortcut is still there"
after=$(reg_query "$uninstall_key")
echo "installer: wine reg query after uninstall: [${after}]"
has_key "$uninstall_key" && fail "the uninstall key is still there"
has_key "$classes\Vintrel.Video" && fail "the Open with program id is still there"
has_key "$classes\.avi" && fail "the .avi key the installer made is still there"
reg_query "$classes\.mp4" /ve | grep -q "Other.mp4" || fail "the uninstaller took .mp4's default"
reg_query "$classes\.mp4" /s | grep -q "Vintrel" && fail "the uninstaller left .mp4's Open with entry"
[ "$failures" -eq 0 ] || exit 1
echo "zip test passed: $(basename "$zip")"
