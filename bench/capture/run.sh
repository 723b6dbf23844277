#!/usr/bin/env bash
# The capture benchmark in one command: installs the peers, builds two bench builds of peltrak (the
# shipped one, against the lean static OpenCV, and one against Debian's shared OpenCV) and the bench
# helpers, times every program on an 8K and a 640 x 480 frame, and writes the table into
# bench/capture/RESULTS.md and the chart into bench/capture/results.svg.
#   bench/capture/run.sh [RUNS]      RUNS counted rounds after the warm-up (default 7)
# PELTRAK_OPENCV_BASELINE=PREFIX adds a third build of peltrak, against that installed lean OpenCV tree
# (an earlier recipe's, say), timed beside the others in the same rounds, so that a change of the recipe
# is judged by paired ratios rather than by two runs at different times.
#
# The bench builds have their own block name and write into build-bench-capture/work/peltrak*/, beside
# the peers' outputs in build-bench-capture/work/peers/ (one file system). They never touch the
# producer's block or the real output directory.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
runs=${1:-7}
build=$root/build-bench-capture
work=$build/work
block=peltrak_bench_capture

scripts/setup.sh --bench
# PELTRAK_OPENCV_PREFIX benches another installed lean tree instead of the recipe's.
leanPrefix=${PELTRAK_OPENCV_PREFIX:-$(scripts/build-opencv.sh)}
baselinePrefix=${PELTRAK_OPENCV_BASELINE:-}
mkdir -p "$work/peltrak" "$work/peltrak-system" "$work/peltrak-baseline" "$work/peers" "$build/helpers"
rm -f "$work"/peltrak/*.bmp "$work"/peltrak-system/*.bmp "$work"/peltrak-baseline/*.bmp "$work"/peers/*.bmp

variants=(lean system)
[ -n "$baselinePrefix" ] && variants+=(baseline)
for variant in "${variants[@]}"; do
    opencv=lean prefix=$leanPrefix output=$work/peltrak/
    case $variant in
    system) opencv=system prefix= output=$work/peltrak-system/ ;;
    baseline) prefix=$baselinePrefix output=$work/peltrak-baseline/ ;;
    esac
    cmake -S . -B "$build/$variant" -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_OPENCV=$opencv \
        -DPELTRAK_OPENCV_PREFIX="$prefix" -DPELTRAK_BLOCK_NAME=$block -DPELTRAK_OUTPUT_DIRECTORY="$output" >/dev/null
    cmake --build "$build/$variant" -j2 --target peltrak peltrak-publish
done
baseline=()
if [ -n "$baselinePrefix" ]; then
    baseline=(--peltrak-baseline "$build/baseline/Apps/peltrak" --peltrak-baseline-output "$work/peltrak-baseline"
              --peltrak-baseline-label "$(basename "$baselinePrefix")")
fi

# The helpers get the tool's optimisation level. The empty program keeps every library of Debian's
# OpenCV that the tool loaded before it linked the lean one, even though it calls none of them.
flags=(-std=c++17 -O2 -Wall -Wextra)
g++ "${flags[@]}" bench/capture/Measure.cpp -o "$build/helpers/measure"
g++ "${flags[@]}" bench/capture/LowerBound.cpp -o "$build/helpers/lower-bound"
g++ "${flags[@]}" bench/capture/EmptyOpenCV.cpp -o "$build/helpers/empty-opencv" \
    -Wl,--no-as-needed -lopencv_imgcodecs -lopencv_imgproc -lopencv_core

# Debian's own programs by their full paths, whatever else comes first on PATH.
/usr/bin/python3 bench/capture/bench.py --runs "$runs" \
    --peltrak "$build/lean/Apps/peltrak" --peltrak-output "$work/peltrak" \
    --peltrak-system "$build/system/Apps/peltrak" --peltrak-system-output "$work/peltrak-system" \
    --publish "$build/lean/Apps/peltrak-publish" \
    --lower-bound "$build/helpers/lower-bound" --empty "$build/helpers/empty-opencv" \
    --measure "$build/helpers/measure" --convert /usr/bin/convert-im6.q16 --ffmpeg /usr/bin/ffmpeg \
    --python /usr/bin/python3 --python-script bench/capture/capture_opencv.py \
    --block $block --work "$work" --results bench/capture/RESULTS.md --chart bench/capture/results.svg \
    "${baseline[@]}"
