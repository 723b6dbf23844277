#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, replays
# their committed corpora, then fuzzes each one for a bounded time (default 30 s) from that corpus.
#   scripts/fuzz.sh [seconds-per-target]
# A failing input is left in build-fuzz/findings/<target>/; add it to Tests/Fuzz/corpus/<target>/ once
# the fault is mended, so that it stays a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

scripts/setup.sh --hardening
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DPELTRAK_BUILD_FUZZERS=ON -DPELTRAK_BUILD_TESTS=OFF \
    -DPELTRAK_ENABLE_SANITIZERS=ON -DPELTRAK_OPENCV=system -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build-fuzz -j "$(nproc)" --target fuzzers
ctest --test-dir build-fuzz -L Fuzz --output-on-failure

export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
while read -r target; do
    work=build-fuzz/work/$target
    findings=build-fuzz/findings/$target
    mkdir -p "$work" "$findings"
    echo "fuzz: $target for ${seconds}s"
    build-fuzz/Tests/Fuzz/$target -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "Tests/Fuzz/corpus/$target" 2> "build-fuzz/$target.log" < /dev/null || {
        tail -n 40 "build-fuzz/$target.log"
        echo "fuzz: $target failed; the input is in $findings" >&2
        exit 1
    }
    grep -E 'stat::number_of_executed_units' "build-fuzz/$target.log" || true
done < build-fuzz/fuzzers.txt
