#!/usr/bin/env bash
# The .deb as a new user gets it: installed with apt into a minimal Debian made by debootstrap from
# the mirror this machine's apt uses, where only Depends and Recommends bring anything else.
# The minimal root is kept in $VINTREL_CLEAN_CACHE (one per day and mirror), downloaded packages
# too; each run works on a throw-away overlay of it. Needs root (chroot, mounts).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_BUILD_DIR:-$root/build}
cache=${VINTREL_CLEAN_CACHE:-/var/cache/vintrel-test}
start=$SECONDS
fail() {
  echo "FAIL (clean Debian): $*" >&2
  exit 1
}
say() { echo "clean Debian, $((SECONDS - start)) s: $*"; }
[ "$(id -u)" -eq 0 ] || fail "needs root for debootstrap, chroot and mounts"
command -v debootstrap >/dev/null || fail "debootstrap is not installed (bash scripts/install-deps.sh)"

# The mirror and suites come from the machine's own apt sources, read, never changed.
. /etc/os-release
release=${VERSION_CODENAME:?}
mapfile -t repos < <(apt-get indextargets --format '$(REPO_URI) $(RELEASE) $(COMPONENT)' 'Created-By: Packages' |
  awk -v r="$release" '$2 == r || index($2, r "-") == 1' | sort -u)
[ "${#repos[@]}" -gt 0 ] || fail "no apt source of Debian $release on this machine"
mirror=$(printf '%s\n' "${repos[@]}" | awk -v r="$release" '$2 == r {print $1; exit}')
[ -n "$mirror" ] || fail "no apt source names the suite $release itself"
probe=$(mktemp)
/usr/lib/apt/apt-helper download-file "${mirror%/}/dists/$release/InRelease" "$probe" >/dev/null 2>&1 ||
  { rm -f "$probe"; fail "the package mirror ${mirror%/} cannot be reached (from this machine's apt sources); this test needs it"; }
rm -f "$probe"

key=$(printf '%s\n' "$release" minbase "${repos[@]}" "$(date -u +%F)" | sha256sum | cut -c1-12)
base="$cache/$release-minbase-$key"
archives="$cache/archives-$release"
work=$(mktemp -d) mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true; done
  rm -rf "$work"
}
trap cleanup EXIT
mount_into() {  # mount_into TARGET mount-arguments...
  local target=$1
  shift
  mkdir -p "$target"
  mount "$@" "$target" || fail "cannot mount $target"
  mounted+=("$target")
}

if [ ! -f "$base/.complete" ]; then
  say "making a minimal Debian $release from ${mirror%/} into $base"
  rm -rf "$base" "$cache/$release-minbase-"*
  mkdir -p "$cache"
  debootstrap --variant=minbase "$release" "$base" "$mirror" >"$work/debootstrap.log" 2>&1 ||
    { tail -n 20 "$work/debootstrap.log" >&2; fail "debootstrap from ${mirror%/} failed"; }
  for repo in "${repos[@]}"; do
    read -r uri suite component <<<"$repo"
    echo "deb $uri $suite $component"
  done | awk '{k=$2" "$3} !(k in seen) {seen[k]=1; line[k]=$0; order[n++]=k; next} {line[k]=line[k]" "$4}
    END {for (i = 0; i < n; i++) print line[order[i]]}' >"$base/etc/apt/sources.list"
  touch "$base/.complete"
fi

root_fs="$work/root"
mkdir -p "$work/upper" "$work/overlay-work" "$archives"
mount_into "$root_fs" -t overlay overlay -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/overlay-work"
mount_into "$root_fs/proc" -t proc proc
mount_into "$root_fs/sys" -t sysfs sysfs
mount_into "$root_fs/dev" --bind /dev
mount_into "$root_fs/dev/pts" --bind /dev/pts
mount_into "$root_fs/var/cache/apt/archives" --bind "$archives"
cp /etc/resolv.conf "$root_fs/etc/resolv.conf"
# The root is thrown away after the run: no need to sync every unpacked file to disk.
echo force-unsafe-io >"$root_fs/etc/dpkg/dpkg.cfg.d/vintrel-test-unsafe-io"
in_root() { chroot "$root_fs" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { tail -n 20 "$work/cpack.log" >&2; fail "cpack could not make the .deb from $build"; }
deb=$(echo "$work"/package/vintrel_*.deb)
say "$(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"
say "Recommends: $(dpkg-deb -f "$deb" Recommends)"
cp "$deb" "$root_fs/tmp/"
in_root apt-get update -qq >"$work/apt.log" 2>&1 || { tail -n 20 "$work/apt.log" >&2; fail "apt-get update in the root"; }
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
as_tester() {
  chroot --userspec=tester:tester "$root_fs" env -i PATH=/usr/bin:/bin HOME=/home/tester LANG=C.UTF-8 \
    XDG_RUNTIME_DIR= TMPDIR=/tmp QT_QPA_PLATFORM=offscreen "$@"
}
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
as_tester sh -c 'cd ~/clips && exec vintrel "one clip.avi"' >"$work/window.log" 2>&1 &
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
