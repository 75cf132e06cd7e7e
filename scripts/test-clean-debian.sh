#!/usr/bin/env bash
# The .deb as a new user gets it: installed with apt into a minimal Debian made by debootstrap from
# the mirror this machine's apt uses, where only Depends and Recommends bring anything else.
# Usage: test-clean-debian.sh [RELEASE [DEB [FOREIGN_DEB]]]: RELEASE defaults to this machine's, DEB
# to the package cpack makes from $VINTREL_BUILD_DIR; FOREIGN_DEB, another release's package, must
# be refused by apt there. The minimal roots are kept in $VINTREL_CLEAN_CACHE (scripts/debian-root.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_BUILD_DIR:-$root/build}
start=$SECONDS
fail() {
  echo "FAIL (clean Debian${release:+ $release}): $*" >&2
  exit 1
}
say() { echo "clean Debian $release, $((SECONDS - start)) s: $*"; }
release=${1:-$(. /etc/os-release && echo "${VERSION_CODENAME:?}")}
deb=${2:-}
foreign=${3:-}
. "$root/scripts/debian-root.sh"
trap debian_root_cleanup EXIT
work=$debian_root_work

debian_minbase "$release"
debian_overlay root "$debian_base" "$release"

if [ -z "$deb" ] && [ -z "$foreign" ]; then
  cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
    { tail -n 20 "$work/cpack.log" >&2; fail "cpack could not make the .deb from $build"; }
  deb=$(echo "$work"/package/vintrel_*.deb)
fi
[ "$deb" = - ] || [ -f "$deb" ] || fail "no package at $deb"
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "apt-get update in the root"; }
if [ -n "$foreign" ]; then
  cp "$foreign" "$root_fs/tmp/"
  if in_root apt-get install -y -q "/tmp/$(basename "$foreign")" >"$work/foreign.log" 2>&1; then
    fail "apt installed $(basename "$foreign"), a package of another release"
  fi
  grep -qi "unmet dependencies" "$work/foreign.log" ||
    { tail -n 20 "$work/foreign.log" >&2; fail "apt refused $(basename "$foreign") for another reason than its dependencies"; }
  ! in_root dpkg-query -W vintrel >/dev/null 2>&1 || fail "the refused package left vintrel installed"
  say "apt refuses $(basename "$foreign"): $(grep -m1 'Depends:' "$work/foreign.log" | sed 's/^ *//')"
fi
if [ "$deb" = - ]; then
  say "passed"
  exit 0
fi
say "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
say "Recommends: $(dpkg-deb -f "$deb" Recommends)"
cp "$deb" "$root_fs/tmp/"
in_root apt-get install -y -q -o APT::Keep-Downloaded-Packages=true "/tmp/$(basename "$deb")" >>"$work/apt.log" 2>&1 ||
  { tail -n 30 "$work/apt.log" >&2; fail "apt cannot install the .deb on a minimal Debian"; }
say "installed with $(grep -c '^Setting up' "$work/apt.log") packages; $(in_root dpkg-query -W -f '${Installed-Size}' vintrel) KiB"

# A user of the German desktop, whose Videos folder is ~/Filme.
in_root useradd --create-home --shell /bin/sh tester || fail "useradd"
home="$root_fs/home/tester"
mkdir -p "$home/.config" "$home/clips"
echo 'XDG_VIDEOS_DIR="$HOME/Filme"' >"$home/.config/user-dirs.dirs"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15:duration=2 -f lavfi -i sine=duration=2 \
  -c:v mpeg4 -c:a pcm_s16le "$home/clips/one clip.avi" || fail "ffmpeg cannot make the clip"
ffmpeg -v error -f lavfi -i testsrc=size=160x120:rate=15:duration=2 -f lavfi -i sine=duration=2 \
  -c:v libvpx -c:a libvorbis "$home/clips/two.webm" || fail "ffmpeg cannot make the WebM clip"
in_root chown -R tester:tester /home/tester
uid=$(in_root id -u tester)
tester_env=(env -i PATH=/usr/bin:/bin HOME=/home/tester LANG=C.UTF-8 XDG_RUNTIME_DIR= TMPDIR=/tmp
  QT_QPA_PLATFORM=offscreen)
as_tester() { chroot --userspec=tester:tester "$root_fs" "${tester_env[@]}" "$@"; }
# For a background job: its pid is then the program's own, so a kill ends the program and not
# only the shell around it (which left the window running past the test).
exec_as_tester() { exec chroot --userspec=tester:tester "$root_fs" "${tester_env[@]}" "$@"; }
check_3gp() {
  local streams
  streams=$(ffprobe -v error -show_entries stream=codec_name,width,height -of csv=p=0 "$1" | tr '\n' ' ') ||
    fail "no valid 3GP at ${1#"$root_fs"}"
  [[ $streams == h263,*amr_nb* ]] || fail "${1#"$root_fs"} holds '$streams', not H.263 with AMR-NB"
}

as_tester sh -c 'cd ~/clips && vintrel-cli "one clip.avi"' >"$work/cli.log" 2>&1 ||
  { cat "$work/cli.log" >&2; fail "the installed vintrel-cli did not convert the clip"; }
check_3gp "$home/Filme/Vintrel/one clip.3gp"
say "vintrel-cli converted into ~/Filme/Vintrel"
# Root with a relative HOME: the passwd home, never the program's folder (the purge finds strays).
in_root sh -c 'cd /home/tester/clips && HOME=rel vintrel-cli "one clip.avi"' >"$work/root-cli.log" 2>&1 ||
  { cat "$work/root-cli.log" >&2; fail "vintrel-cli with a relative HOME did not convert"; }
check_3gp "$root_fs/root/Videos/Vintrel/one clip.3gp"

# The window stays up; a second launch hands its file to it and leaves; Convert takes both.
exec_as_tester sh -c 'cd ~/clips && exec vintrel "one clip.avi"' >"$work/window.log" 2>&1 &
window=$!
for _ in $(seq 100); do [ -S "$root_fs/tmp/vintrel-$uid/launch" ] && break; sleep 0.1; done
sleep 2
kill -0 "$window" 2>/dev/null || { cat "$work/window.log" >&2; fail "the installed vintrel did not stay up"; }
as_tester sh -c 'cd ~/clips && exec timeout 20 vintrel two.webm' >"$work/second.log" 2>&1 ||
  { cat "$work/second.log" >&2; fail "a second vintrel did not hand its file over"; }
rm -f "$home/Filme/Vintrel/one clip.3gp"
as_tester vintrel-cli --command-box b2 || fail "the window took no command"
for _ in $(seq 300); do [ -f "$home/Filme/Vintrel/two.3gp" ] && break; sleep 0.1; done
kill "$window" 2>/dev/null || fail "the window ended by itself"
wait "$window" 2>/dev/null || true
check_3gp "$home/Filme/Vintrel/one clip.3gp"
check_3gp "$home/Filme/Vintrel/two.3gp"
say "the window converted the files of two launches"

in_root apt-get install -y -q --no-install-recommends fontconfig >>"$work/apt.log" 2>&1 || fail "cannot install fc-list"
fonts=$(in_root fc-list :lang=zh family) || fail "fc-list"
[ -n "$fonts" ] || fail "no font for Chinese text: the tool tips would show empty boxes"
say "Chinese text in: $(head -n 1 <<<"$fonts")"

in_root dpkg -L vintrel | sort >"$work/files.txt"
in_root apt-get remove --purge -y -q vintrel >>"$work/apt.log" 2>&1 || fail "apt-get remove --purge"
while IFS= read -r file; do
  [ -e "$root_fs$file" ] && ! [ -d "$root_fs$file" ] && fail "$file is left after the purge"
done <"$work/files.txt"
[ ! -e "$root_fs/usr/lib/vintrel" ] || fail "/usr/lib/vintrel is left after the purge"
for kept in Filme/Vintrel/two.3gp clips/two.webm .config/user-dirs.dirs; do
  [ -f "$home/$kept" ] || fail "the purge took the user's ~/$kept"
done
in_root apt-get autoclean -q >>"$work/apt.log" 2>&1 || true  # old versions out of the kept downloads
say "passed"
