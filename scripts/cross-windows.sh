#!/usr/bin/env bash
# Compiles the foundation and print-engine libraries for 64-bit Windows with mingw-w64, so that the
# code behind _WIN32 (the message box prompt, the debug trap, the Windows paths) is compiled on every
# run. Warnings are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening
cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DPELTRAK_BUILD_TESTS=OFF \
    -DPELTRAK_BUILD_APPS=OFF -DCMAKE_CXX_FLAGS=-Werror > /dev/null
cmake --build build-windows -j "$(nproc)"
echo "cross-windows: Foundation and System compile for Windows"
