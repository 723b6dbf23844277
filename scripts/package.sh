#!/usr/bin/env bash
# The installed tree and the Debian packages, checked the way a user would meet them:
#   1. a Release build in build-package/, installed into a temporary prefix;
#   2. Tests/Consumer built against that prefix through find_package(Peltrak) and through pkg-config,
#      and run;
#   3. `cpack -G DEB`, each .deb checked with dpkg-deb --info and --contents (every expected file is
#      there and nothing else is);
#   4. the .deb files installed with dpkg into an empty root, the consumer built against that root and
#      the demo producer started from it;
#   5. the manual page linted with man --warnings (any groff warning fails).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh --hardening
build="build-package"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail()
{
    echo "package: $*" >&2
    exit 1
}

echo "package: Release build and install"
scripts/build-opencv.sh > /dev/null
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DPELTRAK_BUILD_TESTS=OFF \
    -DPELTRAK_WARNINGS_AS_ERRORS=ON > /dev/null
cmake --build "$build" -j "$(nproc)"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=usr/lib/$multiarch

# Builds Tests/Consumer against the tree at $1 both ways and runs it; $2 names the tree in messages.
build_consumer()
{
    local root=$1 name=$2
    echo "package: consumer through find_package against the $name"
    cmake -S Tests/Consumer -B "$work/consumer-$name" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_PREFIX_PATH="$root" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF > /dev/null
    grep -qx "Peltrak_DIR:PATH=$root/.*" "$work/consumer-$name/CMakeCache.txt" ||
        fail "find_package did not find the $name: $(grep Peltrak_DIR "$work/consumer-$name/CMakeCache.txt")"
    cmake --build "$work/consumer-$name" > /dev/null
    "$work/consumer-$name/PeltrakConsumer"

    echo "package: consumer through pkg-config against the $name"
    # Only the installed .pc files are searched, so they must be enough on their own.
    # shellcheck disable=SC2046
    c++ -std=c++17 -o "$work/consumer-$name-pc" Tests/Consumer/Main.cpp \
        $(PKG_CONFIG_LIBDIR="$root/lib/$multiarch/pkgconfig" pkg-config --cflags --libs peltrak-system)
    "$work/consumer-$name-pc"
}
build_consumer "$prefix" install-prefix

echo "package: cpack -G DEB"
(cd "$build" && cpack -G DEB -B "$work/debs" > /dev/null)
tool=$(echo "$work"/debs/peltrak_*.deb)
dev=$(echo "$work"/debs/peltrak-dev_*.deb)
if [ ! -f "$tool" ] || [ ! -f "$dev" ]; then
    fail "cpack made $(ls "$work/debs")"
fi

# Regular files and links in a .deb, one path a line, sorted.
deb_files()
{
    dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { print $6 }' | sed 's|^\./||' | sort
}
check_contents()
{
    local deb=$1 expected=$2
    if ! diff -u <(echo "$expected" | sort) <(deb_files "$deb") > "$work/contents.diff"; then
        cat "$work/contents.diff" >&2
        fail "$(basename "$deb") does not hold the expected files (- missing, + unexpected)"
    fi
}
check_contents "$tool" "usr/bin/peltrak
usr/bin/peltrak-publish
usr/share/man/man1/peltrak.1.gz"
headers=$(cd Modules && find Foundation/Inc/Foundation System/Inc/System -name '*.h' | sed 's|^[^/]*/Inc/|usr/include/|')
check_contents "$dev" "$headers
$libdir/libpeltrak-foundation.a
$libdir/libpeltrak-system.a
$libdir/pkgconfig/peltrak-foundation.pc
$libdir/pkgconfig/peltrak-system.pc
$libdir/cmake/Peltrak/PeltrakConfig.cmake
$libdir/cmake/Peltrak/PeltrakConfigVersion.cmake
$libdir/cmake/Peltrak/PeltrakTargets.cmake
$libdir/cmake/Peltrak/PeltrakTargets-release.cmake"

for deb in "$tool" "$dev"; do
    dpkg-deb --info "$deb" control
    package=$(basename "$deb")
    [ "$(dpkg-deb --field "$deb" Package)" = "${package%%_*}" ] || fail "$package names another package"
done
# dpkg-shlibdeps fills the tool's dependencies from what its programs link; an empty field means it
# did not run. The programs link OpenCV, Boost and spdlog statically, so anything beyond the C and C++
# runtimes and zlib is a regression.
depends=$(dpkg-deb --field "$tool" Depends)
echo "$depends" | grep -q 'libc6' || fail "peltrak has no dependencies on the C library"
beyond=$(echo "$depends" | tr ',' '\n' | awk '{ print $1 }' |
    grep -vxE 'libc6|libstdc\+\+6|libgcc-s1|zlib1g' | paste -sd ' ' || true)
[ -z "$beyond" ] || fail "peltrak depends beyond the base system on: $beyond"

echo "package: dpkg install into an empty root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The root holds no other package, so the shared libraries the tool depends on cannot be installed
# there; the host's copies serve when the programs run.
dpkg --root="$root" --force-depends --force-not-root --log=/dev/null -i "$tool" "$dev" > "$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; fail "dpkg could not install the packages"; }
for package in peltrak peltrak-dev; do
    dpkg --root="$root" -s "$package" | grep -qx 'Status: install ok installed' || fail "$package is not installed"
done
build_consumer "$root/usr" dpkg-root
# Without arguments the demo producer prints its usage and ends with status 2, touching no block:
# proof that the installed program starts and finds its libraries.
status=0
"$root/usr/bin/peltrak-publish" > /dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "the installed peltrak-publish ended with status $status, not 2 (usage)"

echo "package: man --warnings"
for page in doc/peltrak.1 "$root/usr/share/man/man1/peltrak.1.gz"; do
    MANWIDTH=80 man --warnings -l "$page" 2> "$work/man.log" > /dev/null
    [ ! -s "$work/man.log" ] || { cat "$work/man.log" >&2; fail "groff warns about $page"; }
done
echo "package: clean"
