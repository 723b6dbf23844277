#!/usr/bin/env bash
# Rebuilds the print benchmark (Release, -O2), checks that every implementation prints the same text,
# runs every workload 5 times and the whole-line driver workloads in 9 paired runs, and writes the
# medians to bench/print/RESULTS.md.
#   bench/print/run.sh                 everything
#   bench/print/run.sh --quick         one repetition, short runs (for a look while working)
# The benchmark runs pinned to one core (taskset -c 1) when taskset is there.
set -euo pipefail
cd "$(dirname "$0")/../.."

repetitions=5
min_time=0.2
paired=9
if [ "${1:-}" = "--quick" ]; then
    repetitions=1
    min_time=0.05
    paired=3
fi

cmake -S . -B build-bench-print -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
    -DPELTRAK_BUILD_BENCH=ON -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BUILD_APPS=OFF >/dev/null
cmake --build build-bench-print --target PrintBench -j 2

# The load before the timed runs goes beside the table: a speed figure counts only from a quiet machine.
export PELTRAK_LOAD_BEFORE=$(cut -d" " -f1 /proc/loadavg)
pin=()
if command -v taskset >/dev/null; then
    pin=(taskset -c 1)
fi
json=build-bench-print/print-results.json
"${pin[@]}" build-bench-print/bench/print/PrintBench --benchmark_repetitions="$repetitions" \
    --benchmark_min_time="$min_time" --benchmark_report_aggregates_only=true \
    --benchmark_out="$json" --benchmark_out_format=json
# The driver lines again, in paired runs: each run times every implementation once, back to back,
# so that the ratios within a run share the machine's load.
pairs=()
for k in $(seq 1 "$paired"); do
    out=build-bench-print/drivers-$k.json
    "${pin[@]}" build-bench-print/bench/print/PrintBench --benchmark_filter='^log line' \
        --benchmark_min_time="$min_time" --benchmark_out="$out" --benchmark_out_format=json >/dev/null
    pairs+=("$out")
done
python3 bench/print/make_results.py "$json" bench/print/RESULTS.md "${pairs[@]}"
echo "wrote bench/print/RESULTS.md"
