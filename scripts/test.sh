#!/usr/bin/env bash
# Set-up, build and the whole test suite.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
options=()
if [ "${1:-}" = "--sanitize" ]; then
    dir=build-sanitize
    options=(-DPELTRAK_ENABLE_SANITIZERS=ON)
    export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
    export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
fi

scripts/setup.sh
cmake -S . -B "$dir" -DPELTRAK_WARNINGS_AS_ERRORS=ON "${options[@]}"
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
