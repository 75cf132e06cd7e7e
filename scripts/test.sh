#!/usr/bin/env bash
# Installs what is needed, builds, and runs every test: native, the .deb on a clean root of this
# machine's Debian, the other release (12 or 13) built, tested and packaged in a root of its own,
# sanitizers, Windows (wine), fuzz.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
begin=$SECONDS
bash scripts/install-deps.sh
times=("install-deps $((SECONDS - begin)) s")
for stage in native clean-debian other-debian sanitize windows fuzz; do
  echo "=== test stage: $stage"
  stage_start=$SECONDS
  bash "scripts/test-$stage.sh"
  times+=("$stage $((SECONDS - stage_start)) s")
done
echo "=== stage times: ${times[*]}; in all $((SECONDS - begin)) s"
echo "=== all test stages passed"
