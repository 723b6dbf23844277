#!/usr/bin/env bash
# Builds the three OpenCV modules the capture tool uses (core, imgproc, imgcodecs) as static
# libraries from Debian 12's own source package, with BMP as the only codec and no optional
# third-party code, and caches the installed tree outside the build tree. Prints that tree's path.
#   scripts/build-opencv.sh [--toolchain FILE]        builds when not cached, then prints the prefix
#   scripts/build-opencv.sh --cached [--toolchain FILE]  prints the prefix only when cached, else exits 1
# PELTRAK_OPENCV_SOURCE=/path/to/opencv-4.6.0.tar.* builds from that tarball instead of apt's source.
#
# The cache key covers the OpenCV version, every option below, the compiler and the toolchain file, so
# a changed recipe or target rebuilds and never reuses another's tree. The build runs in a temporary
# folder and is moved into the cache in one rename once installed: an interrupted or failed build
# leaves nothing behind that a later run could mistake for a finished one.
set -euo pipefail
cd "$(dirname "$0")/.."

version=4.6.0
toolchain=
cachedOnly=0
while [ $# -gt 0 ]; do
    case "$1" in
    --toolchain)
        [ $# -ge 2 ] || { echo "build-opencv: --toolchain needs a file" >&2; exit 2; }
        toolchain=$(realpath -e "$2" 2>/dev/null) || { echo "build-opencv: no toolchain file $2" >&2; exit 2; }
        shift 2 ;;
    --cached) cachedOnly=1; shift ;;
    *) echo "build-opencv: unknown option $1 (use [--cached] [--toolchain FILE])" >&2; exit 2 ;;
    esac
done

say() { echo "build-opencv: $*" >&2; }
# Keeps the build log only when the message points to it.
fail() {
    say "$*"
    case "$*" in *"${log:-no log}"*) ;; *) rm -f "${log:-}" ;; esac
    exit 1
}
howToProvide="get Debian's source (apt-get source opencv: a deb-src entry for $(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}") and network access) or name a tarball with PELTRAK_OPENCV_SOURCE=/path/to/opencv-$version.tar.*"

# Only what the tool calls is built. Everything that would need bundled code from 3rdparty/ (absent
# from Debian's source) or pull shared libraries into the tool is off; pthreads keeps the large
# conversions on every core without TBB or OpenMP. Without parallel plugins, OPENCV_PARALLEL_BACKEND
# cannot make the tool search for and load a threading library at run time.
# mingw-w64's C++ headers reach the C library's with #include_next, which a precompiled header built
# from OpenCV's include paths cannot follow: the cross build compiles its headers every time.
precompiledHeaders=ON
[ -n "$toolchain" ] && precompiledHeaders=OFF
# shellcheck disable=SC2054 # BUILD_LIST takes a comma-separated list
options=(
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=OFF -DENABLE_PIC=ON
    -DBUILD_LIST=core,imgproc,imgcodecs
    -DBUILD_TESTS=OFF -DBUILD_PERF_TESTS=OFF -DBUILD_EXAMPLES=OFF -DBUILD_DOCS=OFF -DBUILD_opencv_apps=OFF
    -DBUILD_JAVA=OFF -DBUILD_opencv_python2=OFF -DBUILD_opencv_python3=OFF -DBUILD_opencv_js=OFF
    -DBUILD_ZLIB=OFF -DBUILD_PNG=OFF -DBUILD_JPEG=OFF -DBUILD_TIFF=OFF -DBUILD_WEBP=OFF -DBUILD_OPENJPEG=OFF
    -DBUILD_JASPER=OFF -DBUILD_OPENEXR=OFF -DBUILD_ITT=OFF -DBUILD_IPP_IW=OFF -DBUILD_TBB=OFF -DBUILD_PROTOBUF=OFF
    -DWITH_PNG=OFF -DWITH_JPEG=OFF -DWITH_TIFF=OFF -DWITH_WEBP=OFF -DWITH_OPENJPEG=OFF -DWITH_JASPER=OFF
    -DWITH_OPENEXR=OFF -DWITH_IMGCODEC_HDR=OFF -DWITH_IMGCODEC_PXM=OFF -DWITH_IMGCODEC_PFM=OFF
    -DWITH_IMGCODEC_SUNRASTER=OFF -DWITH_GDAL=OFF -DWITH_GDCM=OFF
    -DWITH_IPP=OFF -DWITH_ITT=OFF -DWITH_OPENCL=OFF -DWITH_OPENCLAMDFFT=OFF -DWITH_OPENCLAMDBLAS=OFF
    -DWITH_TBB=OFF -DWITH_OPENMP=OFF -DWITH_PTHREADS_PF=ON -DPARALLEL_ENABLE_PLUGINS=OFF
    -DWITH_EIGEN=OFF -DWITH_LAPACK=OFF -DWITH_DIRECTX=OFF
    -DWITH_VA=OFF -DWITH_VA_INTEL=OFF -DWITH_CUDA=OFF -DWITH_OPENVX=OFF -DWITH_HALIDE=OFF -DWITH_VULKAN=OFF
    -DWITH_GTK=OFF -DWITH_QT=OFF -DWITH_WIN32UI=OFF -DWITH_OPENGL=OFF -DWITH_VTK=OFF -DBUILD_opencv_highgui=OFF
    -DBUILD_opencv_videoio=OFF -DWITH_FFMPEG=OFF -DWITH_GSTREAMER=OFF -DWITH_V4L=OFF -DWITH_1394=OFF
    -DWITH_DSHOW=OFF -DWITH_MSMF=OFF -DWITH_QUIRC=OFF -DWITH_ADE=OFF -DWITH_PROTOBUF=OFF -DWITH_CAROTENE=OFF
    -DWITH_IMGCODEC_GIF=OFF -DWITH_AVIF=OFF -DWITH_SPNG=OFF -DWITH_OAK=OFF -DWITH_ONNX=OFF
    -DCV_TRACE=OFF -DOPENCV_GENERATE_PKGCONFIG=OFF -DENABLE_CCACHE=OFF -DOPENCV_ENABLE_NONFREE=OFF
    -DINSTALL_C_EXAMPLES=OFF -DINSTALL_PYTHON_EXAMPLES=OFF -DINSTALL_TESTS=OFF -DBUILD_INFO_SKIP_TIMESTAMP=ON
    # The tool runs one cvtColor and the BMP writer. OpenCV would compile its dispatched loops once more
    # for each wider instruction set (SSE4.1 to AVX-512) and pick one at run time; those copies were most
    # of the build and bought the capture nothing measurable (bench/capture/RESULTS.md), so only the
    # SSE3 baseline that every x86-64 processor runs is built. -O2 instead of -O3 and precompiled
    # headers take off most of what is left.
    -DCPU_BASELINE=SSE3 -DCPU_DISPATCH= -DENABLE_PRECOMPILED_HEADERS=$precompiledHeaders
    "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG" "-DCMAKE_C_FLAGS_RELEASE=-O2 -DNDEBUG"
)
# The programs ship this code, so it is built as reproducibly as they are, and hardened as they are
# where the target allows. OpenCV includes this file after its project() call: options added there
# stay out of CMAKE_CXX_FLAGS, which OpenCV copies into the build summary it compiles into the library
# (cv::getBuildInformation()) together with the host's kernel version, cleared here. With the prefix
# maps its error messages name "opencv/modules/...", not the temporary folder it was built in.
# shellcheck disable=SC2016 # CMake, not the shell, expands these.
projectInclude='add_compile_options("-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=opencv/"
                    "-ffile-prefix-map=${CMAKE_BINARY_DIR}/=opencv-build/")
set(CMAKE_HOST_SYSTEM_VERSION "")
if(NOT CMAKE_CROSSCOMPILING)
    add_compile_options(-fstack-protector-strong)
    add_compile_definitions(_FORTIFY_SOURCE=2)
endif()'

# The compiler that builds OpenCV must be the one the tool is built with; a toolchain file names its own.
# The key takes the toolchain file's content, not its path, so that every clone shares one cache entry.
if [ -n "$toolchain" ]; then
    target=$(basename "$toolchain" .cmake)
    compiler=$(sha256sum <"$toolchain" | cut -d' ' -f1)
else
    target=native
    compiler=$("${CXX:-c++}" --version 2>/dev/null | head -n 1 || true)
fi
key=$(printf '%s\n' "$version" "$compiler" "${options[@]}" "$projectInclude" | sha256sum | cut -c1-12)
[ -n "$toolchain" ] && options+=("-DCMAKE_TOOLCHAIN_FILE=$toolchain")
cacheRoot=${XDG_CACHE_HOME:-$HOME/.cache}/peltrak
prefix=$cacheRoot/opencv-$version-$target-$key

if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi
[ "$cachedOnly" -eq 1 ] && exit 1

# Two builds of the same tree at once (CI jobs, two build trees) would each take minutes for one
# result: the second waits for the first and then finds its tree.
mkdir -p "$cacheRoot"
exec 9>"$cacheRoot/.lock-$version-$target-$key"
if ! flock -n 9; then
    say "waiting for another build of $prefix to finish"
    flock 9
fi
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

say "[1/5] no cached build at $prefix; building OpenCV $version ($target), a few minutes on 2 cores"
# Holding the lock, this is the only build of the key: a staging tree of it is a killed build's.
rm -rf "$cacheRoot/.partial-opencv-$target-$key".*
work=$(mktemp -d "${TMPDIR:-/tmp}/peltrak-opencv.XXXXXX")
staging=$(mktemp -d "$cacheRoot/.partial-opencv-$target-$key.XXXXXX")
# The log stays outside the cache, and only when the build failed.
log=$(mktemp "${TMPDIR:-/tmp}/peltrak-opencv-build.XXXXXX.log")
cleanup() { rm -rf "$work" "$staging"; }
trap cleanup EXIT
# A signal would otherwise end the script without its EXIT trap.
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# The source: a named tarball, or Debian's package with its patches applied by dpkg-source.
source=
if [ -n "${PELTRAK_OPENCV_SOURCE:-}" ]; then
    [ -f "$PELTRAK_OPENCV_SOURCE" ] || fail "PELTRAK_OPENCV_SOURCE names $PELTRAK_OPENCV_SOURCE, which is not a file; $howToProvide"
    say "[2/5] unpacking $PELTRAK_OPENCV_SOURCE, SHA-256 $(sha256sum "$PELTRAK_OPENCV_SOURCE" | cut -d' ' -f1)"
    mkdir "$work/tarball"
    tar -xf "$PELTRAK_OPENCV_SOURCE" -C "$work/tarball" >>"$log" 2>&1 \
        || fail "$PELTRAK_OPENCV_SOURCE is not a readable tarball (corrupt or truncated); $howToProvide"
    source=$(find "$work/tarball" -mindepth 1 -maxdepth 1 -type d | head -n 1)
else
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || fail "cannot tell this system's Debian release from /etc/os-release; $howToProvide"
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    # A deb-src entry for the release, in a one-line .list or a deb822 .sources stanza.
    if ! grep -qsE "^[[:space:]]*deb-src[[:space:]].*[[:space:]]${codename}[[:space:]]" \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        && ! awk -v RS= -v codename="$codename" '
                /(^|\n)Types:[^\n]*deb-src/ && $0 ~ "(^|\n)Suites:[^\n]*[ \t]" codename "([ \t]|\n|$)" \
                    && !/(^|\n)Enabled:[ \t]*no/ { found = 1 }
                END { exit !found }' /etc/apt/sources.list.d/*.sources 2>/dev/null; then
        entry=/etc/apt/sources.list.d/peltrak-deb-src.sources
        say "[2/5] no deb-src entry for $codename: adding one in $entry"
        printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s %s-updates\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
            "$codename" "$codename" | "${sudo[@]}" tee "$entry" >/dev/null \
            || fail "could not write $entry; $howToProvide"
        "${sudo[@]}" apt-get update -qq >>"$log" 2>&1 || fail "apt-get update failed (see $log); $howToProvide"
    fi
    mkdir "$work/debian"
    if ! (cd "$work/debian" && apt-get source --download-only -qq opencv >>"$log" 2>&1); then
        # The entry may be there without its index having been fetched yet.
        "${sudo[@]}" apt-get update -qq >>"$log" 2>&1 || true
        (cd "$work/debian" && apt-get source --download-only -qq opencv >>"$log" 2>&1) \
            || fail "could not download Debian's opencv source package (no deb-src reachable or no network; see $log); $howToProvide"
    fi
    dsc=$(ls "$work/debian"/opencv_*.dsc)
    say "[2/5] unpacking Debian's $(basename "$dsc" .dsc) with its patches"
    dpkg-source --no-check -x "$dsc" "$work/debian/opencv" >>"$log" 2>&1 \
        || fail "dpkg-source could not unpack $(basename "$dsc") (see $log); $howToProvide"
    source=$work/debian/opencv
fi

versionHeader=$source/modules/core/include/opencv2/core/version.hpp
if [ -z "$source" ] || [ ! -f "$versionHeader" ]; then
    fail "the source holds no OpenCV (modules/core missing); $howToProvide"
fi
found=$(awk '/#define CV_VERSION_(MAJOR|MINOR|REVISION)[ \t]/ { v = v (v == "" ? "" : ".") $3 } END { print v }' "$versionHeader")
[ "$found" = "$version" ] || fail "the source is OpenCV $found, not $version; $howToProvide"

say "[3/5] configuring (log: $log)"
printf '%s\n' "$projectInclude" > "$work/peltrak-opencv.cmake"
# Installed with --prefix below: the prefix given at configure time is compiled into the library.
cmake -S "$source" -B "$work/build" -DCMAKE_PROJECT_OpenCV_INCLUDE="$work/peltrak-opencv.cmake" "${options[@]}" >>"$log" 2>&1 \
    || fail "configuring OpenCV failed (see $log); check the compiler and $howToProvide"

say "[4/5] compiling core, imgproc and imgcodecs on 2 jobs"
# One line per tenth of the build, so that it never looks hung; the whole output goes to the log.
showProgress() {
    local line shown=0 percent
    while IFS= read -r line; do
        printf '%s\n' "$line" >>"$log"
        if [[ $line =~ ^\[\ *([0-9]+)%\] ]]; then
            percent=${BASH_REMATCH[1]}
            if [ "$percent" -ge $((shown + 10)) ]; then
                shown=$((percent - percent % 10))
                say "      $shown%"
            fi
        fi
    done
}
cmake --build "$work/build" -j 2 2>&1 | showProgress || fail "compiling OpenCV failed (see $log); nothing was cached"

say "[5/5] installing into the cache"
cmake --install "$work/build" --prefix "$staging" >>"$log" 2>&1 || fail "installing OpenCV failed (see $log); nothing was cached"
touch "$staging/.complete"
chmod 755 "$staging"
mv -T "$staging" "$prefix" 2>/dev/null || [ -f "$prefix/.complete" ] \
    || fail "could not move the build into $prefix"
rm -f "$log"
echo "$prefix"
