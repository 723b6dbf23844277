#!/usr/bin/env bash
# The Windows checks: cross-builds the whole system for 64-bit Windows with mingw-w64 (warnings in our
# code are errors), runs the foundation and print tests under wine, tests the capture tool end to end
# under wine against the Linux tool (Tests/Windows/WineEndToEnd.sh), and packs the shipped zip
# (scripts/build-windows.sh). A missing tool or a wine that does not start fails the run; nothing is
# skipped.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/windows-common.sh
source scripts/windows-common.sh

setupWindowsTools wine

# Debian packages GoogleTest's sources but no Windows build of it: build and install one for the
# target first, where find_package(GTest) then finds it.
gtest=build-windows-gtest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$windowsToolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PWD/$gtest/install" -DBUILD_GMOCK=OFF \
        -Dgtest_disable_pthreads=ON > /dev/null
    cmake --build "$gtest/build" -j "$(nproc)" > /dev/null
    cmake --install "$gtest/build" > /dev/null
fi

# The test build: the tool and the producer meet in a shared-memory folder of their own inside the
# wine prefix (wine keeps no boot time, which Boost's own folder is named after); the tool writes to
# C:\zorvik\images\, which is inside the prefix as well.
dir=build-windows
configureWindows "$dir" -DPELTRAK_SHARED_DIR=C:/peltrak-test/shm -DGTest_DIR="$PWD/$gtest/install/lib/cmake/GTest"

# The prefix is made before the build: the build lists each test program's tests by running it under
# wine, and two programs linked at once would otherwise both start making the prefix, and one fail.
export WINEPREFIX=$PWD/$dir/wineprefix WINEDEBUG=-all
unpacked=
cleanup()
{
    [ -z "$unpacked" ] || rm -rf "$unpacked"
    "$(dirname "$windowsWine")/wineserver" -k 2>/dev/null || true
}
trap cleanup EXIT
if ! timeout 300 "$windowsWine" wineboot --init >/dev/null 2>&1; then
    echo "cross-windows: wine does not start (wine64 wineboot --init failed for $WINEPREFIX)" >&2
    exit 1
fi
cmake --build "$dir" -j "$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"

# The Linux tool for the same frames, with a block and an output folder of its own.
reference=build-windows-reference
scripts/build-opencv.sh >/dev/null
cmake -S . -B "$reference" -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_WARNINGS_AS_ERRORS=ON \
    -DPELTRAK_BLOCK_NAME="peltrak_wine_reference_$(pwd | sha256sum | cut -c1-12)" \
    -DPELTRAK_OUTPUT_DIRECTORY="$PWD/$reference/captures/" -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$reference/bin" \
    > /dev/null
cmake --build "$reference" -j "$(nproc)" --target peltrak peltrak-publish
Tests/Windows/WineEndToEnd.sh "$dir" "$reference"

# The shipped zip, and its peltrak.exe started from an unpacked copy with nothing beside it: it must
# load, and it keeps Boost's own shared-memory folder, which wine cannot name (it keeps no boot time),
# so it ends there with status 1 and says why.
unpacked=$(mktemp -d)
# Its last line is the zip's path.
scripts/build-windows.sh | tee "$unpacked/build.log"
zip=$(tail -n 1 "$unpacked/build.log")
(cd "$unpacked" && cmake -E tar xf "$OLDPWD/$zip")
shipped=$(find "$unpacked" -name peltrak.exe)
status=0
"$windowsWine" "$shipped" >"$unpacked/out" 2>&1 || status=$?
if [ "$status" -ne 1 ] || ! grep -q 'could not open the shared block "ZV_SHM_MEMORY": .*library_error' "$unpacked/out"; then
    echo "cross-windows: the zip's peltrak.exe ended with status $status and printed:" >&2
    cat "$unpacked/out" >&2
    exit 1
fi
echo "cross-windows: the zip's peltrak.exe starts on its own and keeps Boost's shared-memory folder"
