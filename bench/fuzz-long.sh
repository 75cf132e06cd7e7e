#!/usr/bin/env bash
# The long fuzz run: every target until it has tried RUNS inputs (default 10 million) or
# SECONDS have passed (default 2 hours each). Meant for the background:
#   nohup bash bench/fuzz-long.sh > fuzz-long.log 2>&1 &
# The work corpus in build-fuzz/corpus/ grows across runs and is not committed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
runs=${1:-10000000}
seconds=${2:-7200}
echo "fuzz-long: $runs inputs or $seconds s per target, $(date -u +%FT%TZ)"
bash "$root/fuzz/run.sh" "$seconds" "$runs"
