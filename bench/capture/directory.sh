#!/usr/bin/env bash
# A 640 x 480 capture beside a million earlier ones, against the same capture in an empty directory
# (bench/capture/directory.py says how). Builds its own copy of the tool (block peltrak_bench_directory,
# output build-bench-directory/work/current/), and removes the earlier captures and the block when done.
#   bench/capture/directory.sh [FILES] [ROUNDS]     defaults: 1000000 files, 21 counted rounds
# The earlier captures take about a minute to make and as long to remove, and 100 MB or so of
# directory blocks.
set -euo pipefail
cd "$(dirname "$0")/../.."
files=${1:-1000000}
rounds=${2:-21}
build=$PWD/build-bench-directory
work=$build/work
block=peltrak_bench_directory

scripts/build-opencv.sh >/dev/null
cmake -S . -B "$build" -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BLOCK_NAME=$block \
    -DPELTRAK_OUTPUT_DIRECTORY="$work/current/" >/dev/null
cmake --build "$build" -j2 --target peltrak peltrak-publish >/dev/null
g++ -std=c++17 -O2 -Wall -Wextra bench/capture/Measure.cpp -o "$build/measure"

cleanup()
{
    rm -rf "$work"
    "$build/Apps/peltrak-publish" --name $block remove >/dev/null 2>&1 || true
}
trap cleanup EXIT
rm -rf "$work"
mkdir -p "$work"
"$build/Apps/peltrak-publish" --name $block pattern 640 480 4 >/dev/null
python3 bench/capture/directory.py --tool "$build/Apps/peltrak" --measure "$build/measure" --work "$work" \
    --files "$files" --rounds "$rounds"
