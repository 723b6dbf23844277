#!/usr/bin/env bash
# The capture benchmark in one command: installs the peers, builds a bench build of peltrak and the
# bench helpers, times every program on an 8K and a 640 x 480 frame, and writes the table into
# bench/capture/RESULTS.md.
#   bench/capture/run.sh [RUNS]      RUNS counted rounds after the warm-up (default 7)
#
# The bench build has its own block name and writes into build-bench-capture/capture-work/peltrak/, beside the
# peers' outputs in build-bench-capture/capture-work/peers/ (one file system). It never touches the producer's
# block or the real output directory.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
runs=${1:-7}
build=$root/build-bench-capture
work=$build/capture-work
block=peltrak_bench_capture

scripts/setup.sh --bench
mkdir -p "$work/peltrak" "$work/peers" "$build/helpers"
rm -f "$work"/peltrak/*.bmp "$work"/peers/*.bmp

cmake -S . -B "$build" -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BLOCK_NAME=$block \
    -DPELTRAK_OUTPUT_DIRECTORY="$work/peltrak/" >/dev/null
cmake --build "$build" -j2 --target peltrak peltrak-publish

# The helpers get the tool's optimisation level. The empty program keeps every OpenCV library the
# tool loads, even though it calls none of them.
flags=(-std=c++17 -O2 -Wall -Wextra)
g++ "${flags[@]}" bench/capture/Measure.cpp -o "$build/helpers/measure"
g++ "${flags[@]}" bench/capture/LowerBound.cpp -o "$build/helpers/lower-bound"
g++ "${flags[@]}" bench/capture/EmptyOpenCV.cpp -o "$build/helpers/empty-opencv" \
    -Wl,--no-as-needed -lopencv_imgcodecs -lopencv_imgproc -lopencv_core

# Debian's own programs by their full paths, whatever else comes first on PATH.
/usr/bin/python3 bench/capture/bench.py --runs "$runs" \
    --peltrak "$build/Apps/peltrak" --peltrak-output "$work/peltrak" --publish "$build/Apps/peltrak-publish" \
    --lower-bound "$build/helpers/lower-bound" --empty "$build/helpers/empty-opencv" \
    --measure "$build/helpers/measure" --convert /usr/bin/convert-im6.q16 --ffmpeg /usr/bin/ffmpeg \
    --python /usr/bin/python3 --python-script bench/capture/capture_opencv.py \
    --block $block --work "$work" --results bench/capture/RESULTS.md
