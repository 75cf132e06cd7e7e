#!/usr/bin/env bash
# Configures and builds one tree; any compiler warning fails it. Uses ccache when installed.
# Usage: build.sh BUILD_DIR [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
launcher=()
if command -v ccache >/dev/null; then
  # Paths relative to the checkout, so another clone of it (CI's) finds the same cache entries.
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
mkdir -p "$dir"
cmake --build "$dir" -j "$(nproc)" 2>&1 | tee "$dir/build.log"
if grep -q 'warning:' "$dir/build.log"; then
  echo "build.sh: the build of $dir has compiler warnings:" >&2
  grep -A3 'warning:' "$dir/build.log" | head -n 40 >&2
  exit 1
fi
