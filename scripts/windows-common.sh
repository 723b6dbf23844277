# shellcheck shell=bash
# Sourced by the Windows scripts (build-windows.sh, cross-windows.sh), from the repository's root.

windowsToolchain=$PWD/cmake/mingw-w64.cmake
windowsWine=/usr/lib/wine/wine64

# Installs the Windows build's tools (scripts/setup.sh --hardening), then stops the calling script,
# naming the Debian package, when one is still missing: a Windows step is never skipped. With "wine",
# wine64 is required too.
setupWindowsTools()
{
    scripts/setup.sh --hardening
    local missing=()
    command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=("x86_64-w64-mingw32-g++-posix (package g++-mingw-w64-x86-64-posix)")
    command -v x86_64-w64-mingw32-objcopy >/dev/null || missing+=("x86_64-w64-mingw32-objcopy (package binutils-mingw-w64-x86-64)")
    [ -f /usr/x86_64-w64-mingw32/lib/libz.a ] || missing+=("mingw-w64's static zlib (package libz-mingw-w64-dev)")
    if [ "${1:-}" = wine ]; then
        [ -x "$windowsWine" ] || missing+=("$windowsWine (package wine64)")
    fi
    if [ ${#missing[@]} -gt 0 ]; then
        local tool
        for tool in "${missing[@]}"; do
            echo "$(basename "$0"): missing $tool; scripts/setup.sh --hardening installs it" >&2
        done
        exit 1
    fi
}

# configureWindows DIR [CMAKE-ARGUMENT...]: builds the lean OpenCV for the target when it is not cached
# (a few minutes, once), then configures DIR as a mingw-w64 build with every program in DIR/bin.
configureWindows()
{
    local dir=$1
    shift
    scripts/build-opencv.sh --toolchain "$windowsToolchain" >/dev/null
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$windowsToolchain" -DPELTRAK_WARNINGS_AS_ERRORS=ON \
        -DCMAKE_RUNTIME_OUTPUT_DIRECTORY="$PWD/$dir/bin" "$@" >/dev/null
}
