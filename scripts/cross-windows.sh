#!/usr/bin/env bash
# Builds the foundation and print-engine libraries and their tests for 64-bit Windows with
# mingw-w64, so that the code behind _WIN32 (the message box prompt, the debug trap, the Windows
# paths) is compiled on every run, and runs those tests under wine. Warnings in our code are errors.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening

# Debian packages GoogleTest's sources but no Windows build of it: build and install one for the
# target first, where find_package(GTest) then finds it.
gtest=build-windows-gtest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PWD/$gtest/install" -DBUILD_GMOCK=OFF \
        -Dgtest_disable_pthreads=ON > /dev/null
    cmake --build "$gtest/build" -j "$(nproc)" > /dev/null
    cmake --install "$gtest/build" > /dev/null
fi

cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DPELTRAK_BUILD_APPS=OFF \
    -DPELTRAK_WARNINGS_AS_ERRORS=ON -DGTest_DIR="$PWD/$gtest/install/lib/cmake/GTest" > /dev/null
cmake --build build-windows -j "$(nproc)"
ctest --test-dir build-windows --output-on-failure -j "$(nproc)"
