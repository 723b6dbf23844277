#!/usr/bin/env bash
# Builds the foundation and print-engine libraries and their tests for 64-bit Windows with
# mingw-w64, so that the code behind _WIN32 (the message box prompt, the debug trap, the Windows
# paths) is compiled on every run, and runs those tests under wine. Warnings in our code are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DPELTRAK_BUILD_APPS=OFF \
    -DPELTRAK_WARNINGS_AS_ERRORS=ON > /dev/null
cmake --build build-windows -j "$(nproc)"
ctest --test-dir build-windows --output-on-failure -j "$(nproc)"
