#!/usr/bin/env bash
# Instructions per call of our handlers and of std::to_chars on the handler workloads, counted by
# callgrind: deterministic, so a change can be judged on a busy machine where wall-clock times cannot.
# Builds build-bench-print/ as run.sh does; each line runs one implementation over the workload's 1024
# inputs four times under callgrind, the warm-up and the set-up left out of the count.
#   bench/print/count.sh                     the handler workloads
#   bench/print/count.sh "u64 hex" ...       the named workloads (ours against to_chars)
set -euo pipefail
cd "$(dirname "$0")/../.."

command -v valgrind >/dev/null || { echo "count.sh needs valgrind (scripts/setup.sh --bench)" >&2; exit 1; }
cmake -S . -B build-bench-print -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DPELTRAK_BUILD_BENCH=ON -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BUILD_APPS=OFF >/dev/null
cmake --build build-bench-print --target PrintBench -j 2 >/dev/null

workloads=("$@")
if [ ${#workloads[@]} -eq 0 ]; then
    workloads=("i32 decimal" "i64 decimal" "u64 hex" "i32 zero-padded 12" "double f .4" "double e .4" "double g .4")
fi
calls=$((4 * 1024))
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Instructions per call of one implementation.
count() {
    valgrind --tool=callgrind --instr-atstart=no --callgrind-out-file="$out/cg" \
        build-bench-print/bench/print/PrintBench --count="$1" >/dev/null 2>&1
    awk -v calls="$calls" '/^totals:/ { printf "%.1f", $2 / calls }' "$out/cg"
}

printf '%-20s %10s %10s %8s\n' workload ours to_chars ratio
for workload in "${workloads[@]}"; do
    ours=$(count "$workload/ours")
    peer=$(count "$workload/to_chars")
    awk -v w="$workload" -v o="$ours" -v p="$peer" 'BEGIN { printf "%-20s %10s %10s %8.2f\n", w, o, p, o / p }'
done
