#!/usr/bin/env bash
# Runs one Windows program under wine for ctest. Its output goes through a file: services that
# wine starts on demand inherit the caller's descriptors, and holding ctest's pipe they would
# make it wait until its time-out although the test had long finished.
set -uo pipefail
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine "$@" >"$out" 2>&1 </dev/null
rc=$?
cat "$out"
exit "$rc"
