#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the benchmarks need.
# Idempotent: apt-get skips what is already there. Runs as root without prompts.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev googletest zlib1g-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
  libavcodec-extra ffmpeg
  qt6-base-dev qt6-multimedia-dev qt6-tools-dev-tools libgl1-mesa-dev
  xvfb xauth x11-utils imagemagick fonts-dejavu-core fonts-dejavu-extra
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix wine wine64
  nasm dpkg-dev debian-archive-keyring zip unzip
  clang-14 libclang-rt-14-dev
  hyperfine sox
  help2man groff-base desktop-file-utils appstream lintian
  nsis meson
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
