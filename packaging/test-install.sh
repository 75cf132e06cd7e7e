#!/usr/bin/env bash
# The installed program, from a DESTDIR install (destdir) or from the .deb (deb): the files land
# where the layout says, and the installed programs convert a clip for a user with a fresh HOME,
# whose settings they read and whose ~/Videos/Vintrel they fill, writing nothing under the prefix.
# Usage: test-install.sh destdir|deb BUILD_DIR APP_ID
set -euo pipefail
part=$1 build=$2 app_id=$3
work=$(mktemp -d)
window=""
cleanup() {
  if [ -n "$window" ]; then kill "$window" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  tail -n 20 "$work"/*.log 2>/dev/null >&2 || true
  echo "FAIL: $*" >&2
  exit 1
}

expected_layout() {
  {
    printf '%s\n' "bin/vintrel -> ../lib/vintrel/vintrel" "bin/vintrel-cli -> ../lib/vintrel/vintrel-cli" \
      lib/vintrel/vintrel lib/vintrel/vintrel-cli lib/vintrel/data/conv.exe lib/vintrel/sound.wav \
      lib/vintrel/installed "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" \
      share/man/man1/vintrel.1.gz share/man/man1/vintrel-cli.1.gz \
      share/doc/vintrel/copyright share/doc/vintrel/changelog.gz
    for size in 16 22 24 32 48 64 128 256 512; do echo "share/icons/hicolor/${size}x$size/apps/vintrel.png"; done
  } | sort
}

check_layout() {
  local actual
  actual=$(cd "$1" && find . -type l -printf '%P -> %l\n' -o -type f -printf '%P\n' | sort)
  diff -u <(expected_layout) <(echo "$actual") || fail "the files under $1 differ from the layout"
  for program in vintrel vintrel-cli data/conv.exe; do
    [ -x "$1/lib/vintrel/$program" ] || fail "$program is not executable"
  done
}

# Everything under a tree with its size and time, to see that running the programs wrote nothing.
snapshot() { find "$1" -printf '%P %M %s %T@\n' | sort; }

make_clip() {
  mkdir -p "$work/clips"
  ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=15:duration=1 -f lavfi -i sine=duration=1 \
    -c:v mpeg4 -c:a pcm_s16le "$work/clips/my clip.avi" || fail "ffmpeg cannot make the clip"
}

# A fresh HOME whose saved settings choose 128x96; the output folder is left to the default.
fresh_home() {
  local home="$work/$1"
  mkdir -p "$home/.config/vintrel"
  printf '"2"\r\n"0"\r\n"0"\r\n"1"\r\n""\r\n' >"$home/.config/vintrel/setup.ini"
  echo "$home"
}

check_output() {
  local streams
  [ -f "$1" ] || fail "no $1"
  streams=$(ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 "$1" | tr '\n' ' ')
  [ "$streams" = "video,128,96 audio " ] || fail "$1 holds '$streams', not 128x96 video with sound"
}

convert_with_cli() {
  local prefix=$1 home
  home=$(fresh_home home-cli)
  env HOME="$home" XDG_CONFIG_HOME= TMPDIR="$work" "$prefix/bin/vintrel-cli" "$work/clips/my clip.avi" \
    >"$work/cli.log" 2>&1 || { cat "$work/cli.log"; fail "vintrel-cli did not convert the clip"; }
  check_output "$home/Videos/Vintrel/my clip.3gp"
}

# The window started through its link with a file named on its command line: Convert, pressed
# through the command box, converts that file.
convert_with_window() {
  local prefix=$1 home box
  home=$(fresh_home home-window)
  box="$work/vintrel-$(id -u)/command-box"
  (cd "$work/clips" && exec env HOME="$home" XDG_CONFIG_HOME= TMPDIR="$work" QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/vintrel" "my clip.avi") >"$work/window.log" 2>&1 &
  window=$!
  for _ in $(seq 200); do [ -S "$box" ] && break; sleep 0.1; done
  env TMPDIR="$work" "$prefix/bin/vintrel-cli" --command-box b2 || fail "the window took no command"
  for _ in $(seq 600); do [ -f "$home/Videos/Vintrel/my clip.3gp" ] && break; sleep 0.1; done
  kill "$window" 2>/dev/null || fail "the window ended by itself"
  wait "$window" || true
  window=""
  check_output "$home/Videos/Vintrel/my clip.3gp"
}

# Every line of --help is in the manual page (rendered without wrapping or hyphens).
check_manual_page() {
  local help page line
  help=$("$1/bin/vintrel-cli" --help)
  page=$(gzip -dc "$1/share/man/man1/vintrel-cli.1.gz" | groff -man -Tascii -rLL=400n -P-cbou 2>&1 | tr -s ' \n' '  ')
  while IFS= read -r line; do
    line=$(echo ${line#Usage: })
    [ -z "$line" ] || grep -qiF -- "$line" <<<"$page" || fail "the manual page lacks '$line'"
  done <<<"$help"
}

make_clip
case "$part" in
  destdir)
    root="$work/root"
    DESTDIR="$root" cmake --install "$build" --prefix /usr/local >/dev/null
    prefix="$root/usr/local"
    check_layout "$prefix"
    before=$(snapshot "$root")
    convert_with_cli "$prefix"
    convert_with_window "$prefix"
    [ "$before" = "$(snapshot "$root")" ] || fail "running the programs wrote under the prefix"
    check_manual_page "$prefix"
    desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
    ;;
  deb)
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
      { cat "$work/cpack.log"; fail "cpack"; }
    deb=$(echo "$work"/package/vintrel_*.deb)
    [ -f "$deb" ] || fail "no .deb"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB; Depends: $depends"
    for library in libavcodec libavformat libswscale libqt6widgets6 libqt6multimedia6 libc6; do
      grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
    done
    dpkg-deb -x "$deb" "$work/root"
    check_layout "$work/root/usr"
    before=$(snapshot "$work/root")
    convert_with_cli "$work/root/usr"
    [ "$before" = "$(snapshot "$work/root")" ] || fail "running the program wrote under the prefix"
    lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
    ;;
  *) fail "unknown part '$part'" ;;
esac
echo "install $part: passed"
