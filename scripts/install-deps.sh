#!/usr/bin/env bash
# Installs the Debian packages Vintrel needs. `install-deps.sh run`: only what building and running
# the Linux program takes (scripts/run.sh); without an argument also everything the tests, the
# Windows build and the benchmarks need (scripts/test.sh).
# Idempotent: apt-get skips what is already there. Runs as root without prompts, else via sudo.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# Building and running: the compiler, FFmpeg with its AMR-NB encoder (the -extra build), Qt, and
# ffmpeg itself for run.sh's example clip.
RUN_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libavcodec-extra ffmpeg
  qt6-base-dev qt6-multimedia-dev libgl1-mesa-dev fonts-wqy-microhei
)
# Tests, packaging, the Windows build and the benchmarks.
PACKAGES=(
  git libgtest-dev googletest zlib1g-dev
  qt6-tools-dev-tools
  xvfb xauth x11-utils imagemagick fonts-dejavu-core fonts-dejavu-extra
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64
  nasm dpkg-dev debian-archive-keyring zip unzip
  clang-14 libclang-rt-14-dev
  hyperfine sox
  help2man groff-base desktop-file-utils appstream lintian
  debootstrap
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 xdotool
  nsis meson
  unicode-data  # the Unicode tables the name folding is checked against
)

wanted=("${RUN_PACKAGES[@]}")
case "${1:-all}" in
  run) ;;
  all) wanted+=("${PACKAGES[@]}") ;;
  *)
    echo "usage: $0 [run]" >&2
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
