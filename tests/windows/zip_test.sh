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

source "$here/installer_checks.sh"
[ "$failures" -eq 0 ] || exit 1
echo "zip test passed: $(basename "$zip")"
