#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: native, the .deb on a clean Debian,
# sanitizers, Windows (wine), fuzz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
for stage in native clean-debian sanitize windows fuzz; do
  echo "=== test stage: $stage"
  bash "scripts/test-$stage.sh"
done
echo "=== all test stages passed"
