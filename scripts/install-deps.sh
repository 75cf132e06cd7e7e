#!/usr/bin/env bash
# Installs the Debian packages Vintrel needs, on Debian 12 (bookworm) or 13 (trixie).
#   install-deps.sh run      only what building and running the Linux program take (scripts/run.sh)
#   install-deps.sh native   that, and what the native test suite takes (build, ctest, packaging)
#   install-deps.sh          everything: also the sanitizers, fuzzing, the Windows build under
#                            wine, the clean-Debian stages and the benchmarks (scripts/test.sh)
# Idempotent: apt-get skips what is already there. Runs as root without prompts, else via sudo.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Building and running: the compiler, FFmpeg with its AMR-NB encoder (the -extra build), Qt, and
# ffmpeg itself for run.sh's example clip. The same names on both releases.
RUN_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libavcodec-extra ffmpeg
  qt6-base-dev qt6-multimedia-dev libgl1-mesa-dev fonts-wqy-microhei
)
# The native tests: GoogleTest, the window under Xvfb and AT-SPI, the install rules and the .deb,
# two readers of 3GP files besides our own, and the Unicode tables the name folding is checked against.
NATIVE_PACKAGES=(
  git libgtest-dev googletest zlib1g-dev
  qt6-tools-dev-tools
  xvfb xauth x11-utils imagemagick fonts-dejavu-core fonts-dejavu-extra
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 xdotool dbus
  dpkg-dev help2man groff-base desktop-file-utils appstream lintian
  mediainfo gstreamer1.0-tools gstreamer1.0-plugins-base-apps gstreamer1.0-plugins-good
  gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
  unicode-data
)
# Sanitizers and fuzzing (each release's default clang), the Windows build and its tests, the
# clean-Debian stages and the benchmarks.
ALL_PACKAGES=(
  clang libclang-rt-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64
  nasm meson nsis debian-archive-keyring zip unzip
  debootstrap hyperfine sox ccache
)

. /etc/os-release
case "${VERSION_CODENAME:-}" in
  bookworm | trixie) ;;
  *) echo "install-deps: Vintrel is built on Debian 12 (bookworm) and 13 (trixie); this is ${PRETTY_NAME:-an unknown system}." \
    "Trying the same package names." >&2 ;;
esac

wanted=("${RUN_PACKAGES[@]}")
case "${1:-all}" in
  run) ;;
  native) wanted+=("${NATIVE_PACKAGES[@]}") ;;
  all) wanted+=("${NATIVE_PACKAGES[@]}" "${ALL_PACKAGES[@]}") ;;
  *)
    echo "usage: $0 [run|native]" >&2
    exit 2
    ;;
esac
missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing ${#missing[@]} Debian packages (and what they depend on) with apt-get${SUDO:+, through sudo as you are not root}: ${missing[*]}"
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
