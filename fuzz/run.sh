#!/usr/bin/env bash
# Runs every fuzz target for SECONDS (or until RUNS inputs, when given), one after the other, and
# prints the executions and crashes of each. Exit status 1 when any target found a crash.
# Usage: fuzz/run.sh SECONDS [RUNS]   (build dir: $VINTREL_FUZZ_DIR, default build-fuzz)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:?usage: fuzz/run.sh SECONDS [RUNS]}
runs=${2:--1}
dir=${VINTREL_FUZZ_DIR:-$root/build-fuzz}
targets=(progress_parser settings command_line_split encoder_options)

bash "$root/fuzz/build.sh" "$dir" >/dev/null

declare -A max_len=([progress_parser]=4096 [settings]=4096 [command_line_split]=2048 [encoder_options]=1024)
printf '%-20s %12s %8s %8s %s\n' target execs exec/s crashes seconds
failed=0
for target in "${targets[@]}"; do
  work="$dir/corpus/$target"
  artifacts="$dir/artifacts/$target"
  mkdir -p "$work" "$artifacts"
  log="$dir/logs/$target.log"
  mkdir -p "$(dirname "$log")"
  before=$(find "$artifacts" -type f | wc -l)
  start=$(date +%s)
  status=0
  # New inputs go to the work corpus; the committed seeds are only read.
  "$dir/fuzz_$target" -max_total_time="$seconds" -runs="$runs" -max_len="${max_len[$target]}" \
    -print_final_stats=1 -artifact_prefix="$artifacts/" -timeout=10 -rss_limit_mb=2048 \
    "$work" "$root/fuzz/corpus/$target" >"$log" 2>&1 || status=$?
  elapsed=$(($(date +%s) - start))
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  crashes=$(($(find "$artifacts" -type f | wc -l) - before))
  if [ "$status" -ne 0 ] && [ "$crashes" -eq 0 ]; then crashes=1; fi
  printf '%-20s %12s %8s %8s %s\n' "$target" "${execs:-?}" "${rate:-?}" "$crashes" "$elapsed"
  if [ "$crashes" -ne 0 ]; then
    failed=1
    echo "  see $log and $artifacts/" >&2
    grep -m3 -E 'invariant broken|ERROR: |runtime error' "$log" | sed 's/^/  /' >&2 || true
  fi
done
exit "$failed"
