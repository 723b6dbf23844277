#!/usr/bin/env bash
# Installs what the build and the tests need from Debian 12's packages. Idempotent: apt is not
# touched when every package is already installed.
#   scripts/setup.sh              build and test dependencies
#   scripts/setup.sh --hardening  also the sanitizer, fuzzing, static-analysis, cross-compile and
#                                 packaging tools
#   scripts/setup.sh --bench      also the benchmark peers
set -euo pipefail

packages=(
    cmake make g++ pkg-config
    dpkg-dev xz-utils zlib1g-dev
    # Debian's packaged OpenCV: the sanitizer build's, and -DPELTRAK_OPENCV=system's.
    libopencv-core-dev libopencv-imgproc-dev libopencv-imgcodecs-dev
    libboost-dev libboost-stacktrace-dev
    libspdlog-dev libfmt-dev
    libgtest-dev
)
for arg in "$@"; do
    case "$arg" in
    --hardening) packages+=(clang-14 libclang-rt-14-dev clang-tidy-14 clang-format-14 cppcheck g++-mingw-w64-x86-64-posix
                            libz-mingw-w64-dev wine64 dpkg-dev file man-db groff-base) ;;
    --bench) packages+=(libbenchmark-dev libgmp-dev imagemagick ffmpeg python3 python3-opencv python3-numpy python3-matplotlib) ;;
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
