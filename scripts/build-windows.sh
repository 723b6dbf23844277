#!/usr/bin/env bash
# Cross-builds the shipped Windows x64 programs, peltrak.exe and peltrak-publish.exe, with mingw-w64,
# statically linked so that they run on a Windows machine with nothing else installed, and packs them
# with their detached debug files and a README into dist/peltrak-<version>-windows-x64.zip. Prints the
# zip's path. Builds in build-windows-release/; the first run also builds OpenCV for the target.
set -euo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/windows-common.sh
source scripts/windows-common.sh

setupWindowsTools compiler

# The shipped programs keep Boost's own shared-memory folder, the one a producer built with stock
# Boost uses; only the test build under wine names another.
dir=build-windows-release
configureWindows "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_SHARED_DIR=
cmake --build "$dir" -j "$(nproc)" --target peltrak peltrak-publish

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
name=peltrak-$version-windows-x64
stage=$dir/package/$name
rm -rf "$dir/package"
mkdir -p "$stage"
for program in peltrak peltrak-publish; do
    # Only DLLs that every Windows x64 installation has may be imported; anything else would have to
    # travel in the zip.
    unexpected=$(x86_64-w64-mingw32-objdump -p "$dir/bin/$program.exe" | sed -n 's/^\tDLL Name: //p' |
        tr '[:upper:]' '[:lower:]' |
        grep -vxE '(kernel32|msvcrt|user32|advapi32|shell32|ole32|oleaut32|dbgeng|ws2_32)\.dll' || true)
    if [ -n "$unexpected" ]; then
        echo "build-windows: $program.exe needs DLLs that Windows does not bring: $(tr '\n' ' ' <<<"$unexpected")" >&2
        exit 1
    fi
    # The debug file keeps the DWARF that addr2line reads; the program keeps only a link to it.
    x86_64-w64-mingw32-objcopy --only-keep-debug "$dir/bin/$program.exe" "$stage/$program.exe.debug"
    x86_64-w64-mingw32-objcopy --strip-all "$dir/bin/$program.exe" "$stage/$program.exe"
    (cd "$stage" && x86_64-w64-mingw32-objcopy --add-gnu-debuglink="$program.exe.debug" "$program.exe")
done
# CR LF, for every Windows editor.
sed -e "s/@VERSION@/$version/" -e "s/$/\r/" scripts/windows-README.txt >"$stage/README.txt"

mkdir -p dist
zip=$PWD/dist/$name.zip
rm -f "$zip"
(cd "$dir/package" && cmake -E tar cf "$zip" --format=zip "$name")
echo "dist/$name.zip"
