#!/usr/bin/env bash
# Installs what is needed, builds, and runs Vintrel.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
echo "Built into $root/build/bin"
