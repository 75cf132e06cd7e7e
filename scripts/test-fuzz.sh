#!/usr/bin/env bash
# A short run of every fuzz target (about 30 s each); any crash fails the stage.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/fuzz/run.sh" "${VINTREL_FUZZ_SECONDS:-30}"
