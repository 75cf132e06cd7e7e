#!/usr/bin/env bash
# The whole test suite built with AddressSanitizer + UndefinedBehaviorSanitizer, including the
# hostile-input and fault-injection tests (label "hostile"). The window stays out: Qt's own
# libraries are not instrumented and report leaks of their own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VINTREL_ASAN_BUILD_DIR:-$root/build-asan}
start=$(date +%s)
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVINTREL_SANITIZE=ON -DVINTREL_BUILD_UI=OFF
built=$(date +%s)
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1:strict_init_order=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j "$(nproc)" --timeout 1800
end=$(date +%s)
if [ -f "$build/hostile-report.txt" ]; then
  echo "--- hostile inputs under ASan+UBSan"
  cat "$build/hostile-report.txt"
fi
[ -f "$build/fault-report.txt" ] && { echo "--- injected faults"; cat "$build/fault-report.txt"; }
echo "sanitize stage: build $((built - start)) s, tests $((end - built)) s"
