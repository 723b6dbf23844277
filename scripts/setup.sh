#!/usr/bin/env bash
# Installs what the build and the tests need from Debian 12's packages. Idempotent: apt is not
# touched when every package is already installed.
#   scripts/setup.sh                 build and test dependencies, and what the lean OpenCV recipe needs
#   scripts/setup.sh --system-opencv also Debian's packaged OpenCV (-DPELTRAK_OPENCV=system), which pulls
#                                    in more than a hundred libraries the default build never links
#   scripts/setup.sh --hardening     also the sanitizer, fuzzing, static-analysis, cross-compile and
#                                    packaging tools (lintian, abigail-tools), and Debian's OpenCV, which
#                                    those builds link
#   scripts/setup.sh --bench         also the benchmark peers (and Debian's OpenCV)
set -euo pipefail

packages=(
    cmake make g++ pkg-config
    # The lean OpenCV recipe: dpkg-source unpacks Debian's source, the BMP codec's build wants zlib.
    dpkg-dev xz-utils zlib1g-dev
    libboost-dev libboost-stacktrace-dev
    libspdlog-dev libfmt-dev
    libgtest-dev
    # The test that reads the order of a capture's flushes and links from its system calls.
    strace
)
systemOpenCV=(libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev)
for arg in "$@"; do
    case "$arg" in
    --system-opencv) packages+=("${systemOpenCV[@]}") ;;
    --hardening) packages+=("${systemOpenCV[@]}" clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck g++-mingw-w64-x86-64-posix
                            libz-mingw-w64-dev wine64 dpkg-dev file man-db groff-base lintian abigail-tools) ;;
    --bench) packages+=("${systemOpenCV[@]}" libbenchmark-dev libgmp-dev valgrind imagemagick ffmpeg python3 python3-opencv python3-numpy python3-matplotlib) ;;
    *) echo "setup.sh: unknown option $arg" >&2; exit 2 ;;
    esac
done

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "setup.sh: installing ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
