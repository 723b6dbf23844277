#!/usr/bin/env bash
# Instructions per call of every benchmark whose name matches a filter, counted with callgrind: the
# count does not depend on the machine's load, so it can guide work on a shared machine where times
# cannot. Each benchmark runs once over its 1024 inputs (--iterations=1024), and only the timed loop
# is counted (the set-up and the text check before it are not).
#   bench/print/instructions.sh 'u512 decimal'     # one line per implementation: instructions per call
# Needs valgrind (scripts/setup.sh --bench); builds build-bench-print/ as run.sh does.
set -euo pipefail
cd "$(dirname "$0")/../.."
filter="${1:?usage: bench/print/instructions.sh FILTER}"
command -v valgrind >/dev/null || { echo "instructions.sh needs valgrind: scripts/setup.sh --bench" >&2; exit 1; }

cmake -S . -B build-bench-print -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DPELTRAK_BUILD_BENCH=ON -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BUILD_APPS=OFF >/dev/null
cmake --build build-bench-print --target PrintBench -j 2 >/dev/null

bench=build-bench-print/bench/print/PrintBench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
iterations=1024
"$bench" --benchmark_list_tests --benchmark_filter="$filter" 2>/dev/null | while IFS= read -r name; do
    # The filter is a regular expression: quote the name's brackets. A fixed count adds
    # "/iterations:N" to the name.
    pattern="^$(printf '%s' "$name" | sed 's/[][()+.*^$]/\\&/g')/iterations:"
    valgrind --tool=callgrind --callgrind-out-file="$out/cg" --toggle-collect='benchmark::internal::LambdaBenchmark<*>::Run(benchmark::State&)' \
        "$bench" --iterations="$iterations" --benchmark_filter="$pattern" >/dev/null 2>"$out/log"
    total=$(sed -n 's/^==[0-9]*== Collected : \([0-9]*\)$/\1/p' "$out/log")
    awk -v name="$name" -v total="$total" -v n="$iterations" 'BEGIN { printf "%-48s %10.1f\n", name, total / n }'
done
