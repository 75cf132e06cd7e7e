#!/usr/bin/env bash
# Runs one Windows program under wine for ctest. Its output goes through a file: services that
# wine starts on demand inherit the caller's descriptors, and holding ctest's pipe they would
# make it wait until its time-out although the test had long finished.
#
# Every program run here prints before it can fail. A failure with no output at all means wine
# never got as far as the program (seen once in many thousands of starts, under load): it is
# started once more, and the restart is written down for the test script to report.
set -uo pipefail
out=$(mktemp)
trap 'rm -f "$out"' EXIT
start() {
  wine "$@" >"$out" 2>&1 </dev/null
}
start "$@"
rc=$?
if [ "$rc" != 0 ] && [ ! -s "$out" ]; then
  note="wine-run: $(basename "$1") ended with exit code $rc before printing anything; started again"
  echo "$note" >&2
  [ -n "${VINTREL_WIN_BUILD_DIR:-}" ] && echo "$note" >>"$VINTREL_WIN_BUILD_DIR/wine-restarts.log"
  start "$@"
  rc=$?
fi
cat "$out"
exit "$rc"
