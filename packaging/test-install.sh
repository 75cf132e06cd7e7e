#!/usr/bin/env bash
# The installed program, from a DESTDIR install (destdir) or from the .deb (deb): the files land
# where the layout says, and the installed programs convert a clip for a user with a fresh HOME,
# whose settings they read and whose ~/Videos/Vintrel they fill, writing nothing under the prefix.
# Usage: test-install.sh destdir|deb BUILD_DIR APP_ID
set -euo pipefail
part=$1 build=$2 app_id=$3
work=$(mktemp -d) window=""
trap 'if [ -n "$window" ]; then kill "$window" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
fail() {
  tail -n 20 "$work"/*.log >&2 2>/dev/null || true
  echo "FAIL: $*" >&2
  exit 1
}

check_layout() {
  diff -u <(
    printf '%s\n' "bin/vintrel -> ../lib/vintrel/vintrel" "bin/vintrel-cli -> ../lib/vintrel/vintrel-cli" \
      lib/vintrel/{vintrel,vintrel-cli,data/conv.exe,sound.wav,installed} share/doc/vintrel/{copyright,changelog.Debian.gz} \
      "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml" share/man/man1/vintrel{,-cli}.1.gz \
      share/icons/hicolor/{16,22,24,32,48,64,128,256,512}/apps/vintrel.png | sort
  ) <(cd "$1" && find . -type l -printf '%P -> %l\n' -o -type f -printf '%P\n' | sed 's:/\([0-9]*\)x\1/:/\1/:' | sort) ||
    fail "the files under $1 differ from the layout"
}

# A fresh HOME whose saved settings choose 128x96, with the output folder left to the default.
fresh_home() {
  mkdir -p "$work/$1/.config/vintrel"
  printf '"2"\r\n"0"\r\n"0"\r\n"1"\r\n""\r\n' >"$work/$1/.config/vintrel/setup.ini"
}

check_output() {
  local streams
  streams=$(ffprobe -v error -show_entries stream=codec_type,width,height -of csv=p=0 "$1" | tr '\n' ' ') ||
    fail "no $1"
  [ "$streams" = "video,128,96 audio " ] || fail "$1 holds '$streams', not 128x96 video with sound"
}

# vintrel-cli, and with `window` also the window started through its link with the file named on
# its command line and Convert pressed through the command box.
convert_through() {
  local prefix=$1 tree snapshot
  tree=$(cd "$prefix/.." && pwd)
  snapshot=$(find "$tree" -printf '%P %M %s %T@\n' | sort)
  fresh_home cli
  env HOME="$work/cli" XDG_CONFIG_HOME= XDG_VIDEOS_DIR= TMPDIR="$work" "$prefix/bin/vintrel-cli" "$work/my clip.avi" \
    >"$work/cli.log" 2>&1 || fail "vintrel-cli did not convert the clip"
  check_output "$work/cli/Videos/Vintrel/my clip.3gp"
  if [ "${2:-}" = window ]; then
    fresh_home win
    (cd "$work" && exec env HOME="$work/win" XDG_CONFIG_HOME= XDG_VIDEOS_DIR= XDG_RUNTIME_DIR= TMPDIR="$work" QT_QPA_PLATFORM=offscreen \
      "$prefix/bin/vintrel" "my clip.avi") >"$work/window.log" 2>&1 &
    window=$!
    for _ in $(seq 200); do [ -S "$work/vintrel-$(id -u)/command-box" ] && break; sleep 0.1; done
    env XDG_RUNTIME_DIR= TMPDIR="$work" "$prefix/bin/vintrel-cli" --command-box b2 || fail "the window took no command"
    for _ in $(seq 600); do [ -f "$work/win/Videos/Vintrel/my clip.3gp" ] && break; sleep 0.1; done
    kill "$window" 2>/dev/null || fail "the window ended by itself"
    wait "$window" || true
    window=""
    check_output "$work/win/Videos/Vintrel/my clip.3gp"
  fi
  [ "$snapshot" = "$(find "$tree" -printf '%P %M %s %T@\n' | sort)" ] || fail "the programs wrote under $tree"
}

# Every line of --help is in the manual page, rendered without wrapping or hyphens.
check_manual_page() {
  local page line
  page=$(gzip -dc "$1/share/man/man1/vintrel-cli.1.gz" | groff -man -Tascii -rLL=400n -P-cbou | tr -s ' \n' '  ')
  while IFS= read -r line; do
    line=$(echo ${line#Usage: })
    [ -z "$line" ] || grep -qiF -- "$line" <<<"$page" || fail "the manual page lacks '$line'"
  done < <("$1/bin/vintrel-cli" --help)
}

ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15:duration=1 -f lavfi -i sine=duration=1 \
  -c:v mpeg4 -c:a pcm_s16le "$work/my clip.avi" || fail "ffmpeg cannot make the clip"
case "$part" in
  destdir)
    DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >/dev/null
    prefix="$work/root/usr/local"
    check_layout "$prefix"
    convert_through "$prefix" window
    check_manual_page "$prefix"
    desktop-file-validate "$prefix/share/applications/$app_id.desktop" || fail "desktop-file-validate"
    appstreamcli validate --no-net "$prefix/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
    ;;
  deb)
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || fail "cpack"
    deb=$(echo "$work"/package/vintrel_*.deb)
    depends=$(dpkg-deb -f "$deb" Depends) || fail "no .deb"
    echo "$(basename "$deb"): $(du -k "$deb" | cut -f1) KiB; Depends: $depends"
    for library in libavcodec-extra libavformat libswscale libqt6widgets6 libqt6multimedia6 libc6; do
      grep -q "$library" <<<"$depends" || fail "Depends lacks $library"
    done
    dpkg-deb -x "$deb" "$work/root"
    check_layout "$work/root/usr"
    convert_through "$work/root/usr"
    lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"
    ;;
  *) fail "unknown part '$part'" ;;
esac
echo "install $part: passed"
