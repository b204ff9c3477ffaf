#!/usr/bin/env bash
# Builds the fuzz targets with clang and the sanitizers; for each one replays
# its seed corpus, then fuzzes for FUZZ_SECONDS (default 60) into a scratch
# copy of it in the build folder. Exits non-zero when any input crashes,
# trips a sanitizer, hangs or (whole cycle) draws a malformed reply.
#   fuzz_parse: single perceptions through the world model (tests/fuzz/corpus)
#   fuzz_cycle: message sequences through the whole cycle (tests/fuzz/corpus-cycle)
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${FUZZ_BUILD_DIR:-build-fuzz}
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DTRAVONELQUIST_FUZZ=ON -DTRAVONELQUIST_SANITIZE=ON \
    -DTRAVONELQUIST_TESTS=OFF -DTRAVONELQUIST_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_parse fuzz_cycle

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
artifacts="$dir/artifacts/"
mkdir -p "$artifacts"

# target seeds max_len
run() {
    local target=$1 seeds=$2 max_len=$3
    local bin="$dir/$target" work="$dir/work/$target"
    echo "== $target: replaying $(ls "$seeds" | wc -l) seeds"
    "$bin" -artifact_prefix="$artifacts$target-" "$seeds"/*

    echo "== $target: ${seconds} s"
    rm -rf "$work"
    mkdir -p "$work"
    cp "$seeds"/* "$work"/
    "$bin" -artifact_prefix="$artifacts$target-" -dict=tests/fuzz/perception.dict \
        -max_len="$max_len" -timeout=25 -rss_limit_mb=4096 -max_total_time="$seconds" \
        -print_final_stats=1 "$work"
}

# One message is at most 16380 bytes; a sequence gets room for a few of them.
run fuzz_parse tests/fuzz/corpus 16380
run fuzz_cycle tests/fuzz/corpus-cycle 32768
