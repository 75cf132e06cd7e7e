#!/usr/bin/env bash
# Cross-compiles the encoder's libraries for Windows (opencore-amr, dav1d and a trimmed static
# FFmpeg) from Debian's own source packages, with mingw-w64.
#
# Usage: build-windows-deps.sh [CACHE_DIR]   (default: /var/cache/vintrel-win-deps as root, so every
# clone on the machine shares one build; else build-win-deps in the source tree)
# Prints the finished prefix (include/, lib/, lib/pkgconfig/) as its last line.
#
# The sources come through a private apt configuration whose signed Sources index vouches for
# the tarballs; the system's apt sources are never touched. A prefix is kept per versions and
# configure line and reused as long as both stay the same.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
default_cache=$root/build-win-deps
if [ "$(id -u)" -eq 0 ]; then default_cache=/var/cache/vintrel-win-deps; fi
cache=${1:-${VINTREL_WIN_DEPS_DIR:-$default_cache}}
mkdir -p "$cache"
cache=$(cd "$cache" && pwd)

# The exact source versions this release is built and licensed from (see THIRD-PARTY.md).
FFMPEG_VERSION="7:5.1.9-0+deb12u1"
OPENCORE_VERSION="0.1.6-1"
DAV1D_VERSION="1.0.0-2+deb12u1"

HOST=x86_64-w64-mingw32
CC=$HOST-gcc-posix
CXX=$HOST-g++-posix

# What data/conv.exe reads: the sources of the Add dialog (AVI, FLV, WMV/ASF, MOV/MP4,
# MPG/DAT as program or elementary stream) with their usual codecs; what it writes: H.263 or
# MPEG-4 Part 2 video and AMR-NB audio in 3GP. A drop takes any file, so also what phones and
# downloads give people: Matroska/WebM, AV1 in MP4, Ogg, WAV, MP3, M4A/AAC and FLAC.
DEMUXERS=avi,flv,asf,mov,mpegps,mpegvideo,mpegts,matroska,ogg,wav,mp3,aac,flac
VIDEO_DECODERS=h264,hevc,mpeg4,h263,h263i,h263p,flv,msmpeg4v1,msmpeg4v2,msmpeg4v3,wmv1,wmv2,wmv3,vc1
VIDEO_DECODERS+=,mpeg1video,mpeg2video,mjpeg,rawvideo,svq1,svq3,cinepak,msvideo1,dvvideo,vp6,vp6a,vp6f
VIDEO_DECODERS+=,vp8,vp9,theora,libdav1d
AUDIO_DECODERS=aac,mp1,mp2,mp3,ac3,wmav1,wmav2,wmapro,alac,amrnb,amrwb,nellymoser,adpcm_ms
AUDIO_DECODERS+=,adpcm_ima_wav,adpcm_ima_qt,adpcm_swf,pcm_s16le,pcm_s16be,pcm_s24le,pcm_u8,pcm_alaw
AUDIO_DECODERS+=,pcm_mulaw,pcm_dvd,pcm_s32le,pcm_f32le,pcm_f64le,vorbis,opus,flac
PARSERS=h264,hevc,mpeg4video,mpegvideo,mpegaudio,aac,ac3,vc1,h263,mjpeg,vp8,vp9,av1,vorbis,opus,flac

FFMPEG_CONFIGURE=(
  --target-os=mingw32 --arch=x86_64 --cross-prefix=$HOST- --cc=$CC --cxx=$CXX
  --enable-static --disable-shared --disable-debug --disable-doc --disable-programs
  --disable-avdevice --disable-avfilter --disable-postproc
  --enable-w32threads --disable-everything --disable-autodetect --disable-network
  --enable-version3 --enable-libopencore-amrnb --enable-libdav1d --pkg-config=pkg-config
  --pkg-config-flags=--static
  --enable-protocol=file --enable-demuxer=$DEMUXERS
  --enable-decoder=$VIDEO_DECODERS,$AUDIO_DECODERS --enable-parser=$PARSERS
  --enable-encoder=h263,mpeg4,libopencore_amrnb --enable-muxer=tgp
  --enable-swscale --enable-swresample
)
OPENCORE_CONFIGURE=(--host=$HOST --disable-shared --enable-static --disable-examples)
DAV1D_CONFIGURE=(--buildtype=release --default-library=static -Denable_tools=false
  -Denable_tests=false -Denable_examples=false -Dbitdepths=8,16)

fail() {
  echo "build-windows-deps: $*" >&2
  exit 1
}

for tool in "$CC" "$CXX" nasm make meson ninja pkg-config apt-get dpkg-source; do
  command -v "$tool" >/dev/null || fail "$tool is missing; run scripts/install-deps.sh"
done

key=$(printf '%s\n' "ffmpeg=$FFMPEG_VERSION" "opencore-amr=$OPENCORE_VERSION" "dav1d=$DAV1D_VERSION" \
  "$($CC -dumpfullversion)" "${OPENCORE_CONFIGURE[*]}" "${DAV1D_CONFIGURE[*]}" "${FFMPEG_CONFIGURE[*]}" |
  sha256sum | cut -c1-16)
prefix=$cache/prefix-$key
if [ -f "$prefix/.complete" ]; then
  echo "Windows libraries reused from $prefix" >&2
  echo "$prefix"
  exit 0
fi

# Private apt state: a deb-src list of the release the versions above come from, its own lists and
# cache. Whatever release the host runs, the zip is built from the same sources.
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
codename=bookworm
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
cat >"$apt_dir/sources.sources" <<EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: $keyring

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: $codename-security
Components: main
Signed-By: $keyring
EOF
apt_options=(
  -o "Dir::Etc::sourcelist=$apt_dir/sources.sources" -o Dir::Etc::sourceparts=-
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache"
  -o APT::Sandbox::User=root -o Acquire::Languages=none
)
echo "Fetching Debian's source index..." >&2
apt-get "${apt_options[@]}" -q update >"$apt_dir/update.log" 2>&1 || {
  cat "$apt_dir/update.log" >&2
  fail "apt-get update of the private deb-src list failed"
}

check_version() {  # package expected
  local offered
  offered=$(apt-cache "${apt_options[@]}" showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u | tr '\n' ' ')
  case " $offered " in
    *" $2 "*) ;;
    *) fail "Debian's archive offers $1 ${offered:-in no version}but this script expects $2." \
      "Update the pinned version in scripts/build-windows-deps.sh and THIRD-PARTY.md, then rebuild." ;;
  esac
}
check_version ffmpeg "$FFMPEG_VERSION"
check_version opencore-amr "$OPENCORE_VERSION"
check_version dav1d "$DAV1D_VERSION"

work=$cache/work-$key
rm -rf "$work"
mkdir -p "$work/src"
stage=$work/prefix
(cd "$work/src" && apt-get "${apt_options[@]}" -q source "opencore-amr=$OPENCORE_VERSION" \
  "dav1d=$DAV1D_VERSION" "ffmpeg=$FFMPEG_VERSION" >"$work/source.log" 2>&1) || {
  cat "$work/source.log" >&2
  fail "apt-get source failed"
}
upstream() { local v=${1#*:}; echo "${v%-*}"; }
opencore_src=$work/src/opencore-amr-$(upstream "$OPENCORE_VERSION")
ffmpeg_src=$work/src/ffmpeg-$(upstream "$FFMPEG_VERSION")
dav1d_src=$work/src/dav1d-$(upstream "$DAV1D_VERSION")
[ -d "$opencore_src" ] && [ -d "$ffmpeg_src" ] && [ -d "$dav1d_src" ] || fail "the unpacked sources are not where expected"

jobs=$(nproc)
start=$SECONDS
echo "Building opencore-amr $OPENCORE_VERSION for $HOST..." >&2
(cd "$opencore_src" && ./configure "${OPENCORE_CONFIGURE[@]}" --prefix="$stage" CC="$CC" CXX="$CXX" \
  && make -j"$jobs" && make install) >"$work/opencore.log" 2>&1 || {
  tail -40 "$work/opencore.log" >&2
  fail "opencore-amr did not build (log: $work/opencore.log)"
}

echo "Building dav1d $DAV1D_VERSION for $HOST..." >&2
cat >"$work/meson-cross.txt" <<EOF
[binaries]
c = '$CC'
cpp = '$CXX'
ar = '$HOST-ar'
strip = '$HOST-strip'
windres = '$HOST-windres'

[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
EOF
(meson setup "$work/dav1d-build" "$dav1d_src" --cross-file="$work/meson-cross.txt" \
  "${DAV1D_CONFIGURE[@]}" --prefix="$stage" --libdir=lib \
  && ninja -C "$work/dav1d-build" -j"$jobs" && ninja -C "$work/dav1d-build" install) >"$work/dav1d.log" 2>&1 || {
  tail -40 "$work/dav1d.log" >&2
  fail "dav1d did not build (log: $work/dav1d.log)"
}

echo "Building FFmpeg $FFMPEG_VERSION for $HOST (a few minutes)..." >&2
(cd "$ffmpeg_src" && PKG_CONFIG_LIBDIR="$stage/lib/pkgconfig" PKG_CONFIG_PATH= ./configure "${FFMPEG_CONFIGURE[@]}" --prefix="$stage" \
  --extra-cflags="-I$stage/include" --extra-ldflags="-L$stage/lib" \
  && make -j"$jobs" && make install) >"$work/ffmpeg.log" 2>&1 || {
  tail -40 "$work/ffmpeg.log" >&2
  fail "FFmpeg did not build (log: $work/ffmpeg.log; configure's own log: $ffmpeg_src/ffbuild/config.log)"
}

# The licences travel with the binaries built from them.
mkdir -p "$stage/share/licenses/ffmpeg" "$stage/share/licenses/opencore-amr" "$stage/share/licenses/dav1d"
cp "$ffmpeg_src"/COPYING.LGPLv3 "$ffmpeg_src"/COPYING.GPLv3 "$ffmpeg_src"/LICENSE.md "$stage/share/licenses/ffmpeg/"
cp "$opencore_src"/LICENSE "$stage/share/licenses/opencore-amr/"
cp "$dav1d_src"/COPYING "$stage/share/licenses/dav1d/"
printf 'ffmpeg %s\nopencore-amr %s\ndav1d %s\n' "$FFMPEG_VERSION" "$OPENCORE_VERSION" "$DAV1D_VERSION" \
  >"$stage/versions.txt"

# The prefix is found relative to each .pc file, so the folder can move; and only a complete
# prefix gets its final name, so an interrupted build is never reused.
sed -i -e 's|^prefix=.*|prefix=${pcfiledir}/../..|' -e "s|$stage|\${pcfiledir}/../..|g" "$stage"/lib/pkgconfig/*.pc
rm -rf "$prefix"
mv "$stage" "$prefix"
touch "$prefix/.complete"
rm -rf "$work"
echo "Windows libraries built in $((SECONDS - start)) s into $prefix" >&2
echo "$prefix"
