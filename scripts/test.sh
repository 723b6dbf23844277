#!/usr/bin/env bash
# Set-up, build and the whole test suite.
#   scripts/test.sh             normal build in build/, against the lean static OpenCV (built and cached
#                               by scripts/build-opencv.sh the first time: a few minutes)
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/,
#                               against Debian's packaged OpenCV, so that both ways of linking it keep working
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
options=()
setup=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    options=(-DPELTRAK_ENABLE_SANITIZERS=ON -DPELTRAK_OPENCV=system)
    setup=(--system-opencv)
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
fi

scripts/setup.sh "${setup[@]}"
if [ "$dir" = build ]; then
    scripts/build-opencv.sh >/dev/null
fi
# scripts/run.sh configures build/ the same way, so that each reuses what the other compiled.
cmake -S . -B "$dir" -DPELTRAK_WARNINGS_AS_ERRORS=ON "${options[@]}"
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
