#!/usr/bin/env bash
# Builds the fuzz targets with clang. Usage: fuzz/build.sh [BUILD_DIR]  (default build-fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-fuzz}
cmake -S "$root/fuzz" -B "$dir" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "${VINTREL_JOBS:-2}"
