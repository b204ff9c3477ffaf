#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite twice:
# a plain build, and one under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
failed=0
total_pass=0
total_fail=0

run_suite() {
    local dir=$1 label=$2
    echo "== $label: build"
    shift 2
    bash scripts/build.sh "$dir" "$@"
    echo "== $label: tests"
    local log="$dir/ctest.log"
    if ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 300 2>&1 | tee "$log"; then :; else failed=1; fi
    local line
    line=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true)
    local n_fail n_total
    n_fail=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\1/')
    n_total=$(echo "$line" | sed -E 's/.* ([0-9]+) tests failed out of ([0-9]+).*/\2/')
    if [ -n "$line" ]; then
        total_pass=$((total_pass + n_total - n_fail))
        total_fail=$((total_fail + n_fail))
    else
        failed=1
    fi
}

run_suite build "plain build" -DTRAVONELQUIST_TESTS=ON -DTRAVONELQUIST_BENCH=ON
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build-sanitize "sanitizer build" -DTRAVONELQUIST_SANITIZE=ON -DTRAVONELQUIST_TESTS=ON -DTRAVONELQUIST_BENCH=OFF

if [ -x scripts/fuzz.sh ] || [ -f scripts/fuzz.sh ]; then
    echo "== fuzz: corpus replay and a bounded run"
    if bash scripts/fuzz.sh; then total_pass=$((total_pass + 1)); else total_fail=$((total_fail + 1)); failed=1; fi
fi

echo
echo "$total_pass passed, $total_fail failed"
exit "$failed"
