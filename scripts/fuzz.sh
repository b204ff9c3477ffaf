#!/usr/bin/env bash
# Builds the perception fuzz target with clang and the sanitizers, replays the
# seed corpus, then fuzzes for about a minute into a scratch copy of it.
# Exits non-zero when any input crashes, trips a sanitizer or hangs.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build-fuzz
seconds=${FUZZ_SECONDS:-60}

CC=clang CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DTRAVONELQUIST_FUZZ=ON -DTRAVONELQUIST_SANITIZE=ON \
    -DTRAVONELQUIST_TESTS=OFF -DTRAVONELQUIST_BENCH=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)" --target fuzz_parse

bin="$dir/fuzz_parse"
seeds=tests/fuzz/corpus
work=tests/fuzz/corpus-work
artifacts="$dir/artifacts/"
mkdir -p "$artifacts"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

echo "== fuzz: replaying $(ls "$seeds" | wc -l) seeds"
"$bin" -artifact_prefix="$artifacts" "$seeds"/*

echo "== fuzz: ${seconds} s"
rm -rf "$work"
mkdir -p "$work"
cp "$seeds"/* "$work"/
"$bin" -artifact_prefix="$artifacts" -dict=tests/fuzz/perception.dict \
    -max_len=16380 -timeout=25 -rss_limit_mb=4096 -max_total_time="$seconds" \
    -print_final_stats=1 "$work"
