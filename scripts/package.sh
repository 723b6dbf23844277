#!/usr/bin/env bash
# The installed tree and the Debian packages, checked the way users meet them:
#   1. a RelWithDebInfo build in build-package/ (tests off), installed into a temporary prefix;
#   2. the packages (scripts/build-debs.sh): each one's files and control fields checked with dpkg-deb,
#      and lintian on each, which must report no error and no warning;
#   3. the shared libraries' ABI compared with the baseline in abi/ (scripts/abi-baseline.sh --check);
#   4. the packages installed with dpkg into an empty root; Tests/Consumer built against the prefix
#      and against that root, each way a user links: CMake with the shared libraries and with the
#      static archives, pkg-config with the shared libraries and with the archives, and a plugin
#      (a loadable module) that links the archives; all of them run; the installed peltrak-publish
#      started;
#   5. every manual page linted with man --warnings;
#   6. reproducibility: the same sources copied to another folder and built again with the same
#      SOURCE_DATE_EPOCH (the last commit's time); the packages and every file in them must have the
#      same SHA-256 as the first build's. The second build has no tests either and is only packaged.
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

SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || dpkg-parsechangelog -l packaging/debian/changelog -STimestamp)
export SOURCE_DATE_EPOCH
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=usr/lib/$multiarch

# Configures and builds the sources in the current folder into $1, as both builds must be alike.
build_tree()
{
    cmake -S . -B "$1" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr -DPELTRAK_BUILD_TESTS=OFF \
        -DPELTRAK_BUILD_SHARED_LIBS=ON -DPELTRAK_WARNINGS_AS_ERRORS=ON > /dev/null
    cmake --build "$1" -j "$(nproc)"
}

echo "package: build and install"
scripts/build-opencv.sh > /dev/null
build_tree "$build"
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null

echo "package: Debian packages"
scripts/build-debs.sh "$build" "$work/debs"
version=$(dpkg-parsechangelog -l packaging/debian/changelog -SVersion)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
tool=$work/debs/peltrak_${version}_$arch.deb
library=$work/debs/libpeltrak1_${version}_$arch.deb
dev=$work/debs/peltrak-dev_${version}_$arch.deb
for deb in "$tool" "$library" "$dev"; do
    [ -f "$deb" ] || fail "no $(basename "$deb") among: $(ls "$work/debs")"
done

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
# The files every package has.
docs()
{
    printf 'usr/share/doc/%s/copyright\nusr/share/doc/%s/changelog.Debian.gz\nusr/share/lintian/overrides/%s\n' \
        "$1" "$1" "$1"
}
pages()
{
    local page section=$1
    shift
    for page in "$@"; do
        echo "usr/share/man/man$section/$page.$section.gz"
    done
}
check_contents "$tool" "usr/bin/peltrak
usr/bin/peltrak-publish
$(pages 1 peltrak peltrak-publish)
$(docs peltrak)"
check_contents "$library" "$libdir/libpeltrak-foundation.so.1
$libdir/libpeltrak-foundation.so.1.0.0
$libdir/libpeltrak-system.so.1
$libdir/libpeltrak-system.so.1.0.0
$(docs libpeltrak1)"
headers=$(cd Modules && find Foundation/Inc/Foundation System/Inc/System -name '*.h' | sed 's|^[^/]*/Inc/|usr/include/|')
check_contents "$dev" "$headers
$libdir/libpeltrak-foundation.a
$libdir/libpeltrak-foundation.so
$libdir/libpeltrak-system.a
$libdir/libpeltrak-system.so
$libdir/pkgconfig/peltrak-foundation.pc
$libdir/pkgconfig/peltrak-system.pc
$libdir/cmake/Peltrak/PeltrakConfig.cmake
$libdir/cmake/Peltrak/PeltrakConfigVersion.cmake
$libdir/cmake/Peltrak/PeltrakTargets.cmake
$libdir/cmake/Peltrak/PeltrakTargets-relwithdebinfo.cmake
$(pages 3 tPrintf tsPrintf tvsPrintf tsnPrintf tvsnPrintf tvPrintf tfPrintf tvfPrintf taPrintf tvaPrintf \
    tStringPrintf tvStringPrintf tFormat tPrint T_FMT)
$(docs peltrak-dev)"

for deb in "$tool" "$library" "$dev"; do
    dpkg-deb --info "$deb" control
done
field() { dpkg-deb --field "$1" "$2"; }
[ "$(field "$dev" Depends)" = "libpeltrak1 (= $version)" ] ||
    fail "peltrak-dev depends on '$(field "$dev" Depends)', not on libpeltrak1 of its own version"
multiArch="$(field "$tool" Multi-Arch) $(field "$library" Multi-Arch) $(field "$dev" Multi-Arch)"
[ "$multiArch" = "foreign same same" ] || fail "the packages' Multi-Arch fields are $multiArch, not foreign same same"
dpkg-deb --ctrl-tarfile "$library" | tar -xO ./shlibs > "$work/shlibs"
grep -qx "libpeltrak-system 1 libpeltrak1 (>= ${version%-*})" "$work/shlibs" ||
    fail "libpeltrak1's shlibs file does not name libpeltrak-system: $(cat "$work/shlibs")"
# dpkg-shlibdeps fills the tool's dependencies from what its programs link; an empty field means it
# did not run. The programs link OpenCV, Boost, spdlog and the project's libraries statically, so
# anything beyond the C and C++ runtimes and zlib is a regression.
depends=$(field "$tool" Depends)
echo "$depends" | grep -q 'libc6' || fail "peltrak has no dependencies on the C library"
beyond=$(echo "$depends" | tr ',' '\n' | awk '{ print $1 }' |
    grep -vxE 'libc6|libstdc\+\+6|libgcc-s1|zlib1g' | paste -sd ' ' || true)
[ -z "$beyond" ] || fail "peltrak depends beyond the base system on: $beyond"

echo "package: lintian"
# Errors and warnings fail; the info and pedantic tags that remain are listed, with their reasons,
# in the README, and so are the overridden tags.
lintian --display-info --pedantic --fail-on error,warning "$tool" "$library" "$dev" ||
    fail "lintian found errors or warnings (or could not run)"
echo "package: lintian tags overridden in the packages:"
grep -hv '^#' packaging/debian/*.lintian-overrides | sed 's/^/    /'

echo "package: ABI"
scripts/abi-baseline.sh --check "$build"

echo "package: dpkg install into an empty root"
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The root holds no other package, so the C and C++ runtimes that the packages depend on cannot be
# installed there; the host's copies serve when the programs run.
dpkg --root="$root" --force-depends --force-not-root --log=/dev/null -i "$tool" "$library" "$dev" > "$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log" >&2; fail "dpkg could not install the packages"; }
for package in peltrak libpeltrak1 peltrak-dev; do
    dpkg --root="$root" -s "$package" | grep -qx 'Status: install ok installed' || fail "$package is not installed"
done

# Where a program finds the Peltrak libraries ("static" when it links none), from ldd.
peltrak_libraries()
{
    local found
    found=$(ldd "$1" | awk '$1 ~ /^libpeltrak-/ { print $3 }' | xargs -r dirname | sort -u)
    echo "${found:-static}"
}
# Builds Tests/Consumer against the tree installed with the prefix $1 in each way a user links, and runs it; $2
# names the tree in messages.
build_consumers()
{
    local usr=$1 name=$2 kind
    for kind in shared static; do
        local tree=$work/consumer-$name-$kind static=OFF expected=$usr/lib/$multiarch
        if [ "$kind" = static ]; then
            static=ON
            expected=static
        fi
        echo "package: CMake consumer with the $kind libraries, against the $name"
        cmake -S Tests/Consumer -B "$tree" -DCMAKE_BUILD_TYPE=Release -DCONSUMER_STATIC=$static \
            -DCMAKE_PREFIX_PATH="$usr" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF > /dev/null
        grep -qx "Peltrak_DIR:PATH=$usr/.*" "$tree/CMakeCache.txt" ||
            fail "find_package did not find the $name: $(grep Peltrak_DIR "$tree/CMakeCache.txt")"
        cmake --build "$tree" > /dev/null
        [ "$(peltrak_libraries "$tree/PeltrakConsumer")" = "$expected" ] ||
            fail "the $kind consumer loads the libraries from $(peltrak_libraries "$tree/PeltrakConsumer")"
        "$tree/PeltrakConsumer"
        "$tree/PeltrakPluginHost" "$tree/libPeltrakPlugin.so"
    done
    # The plugin keeps its copy of the libraries to itself: it exports its entry point alone.
    local exported
    exported=$(nm -D --defined-only "$work/consumer-$name-static/libPeltrakPlugin.so" | awk '{ print $3 }')
    [ "$exported" = PeltrakPluginDescribe ] || fail "the plugin exports more than its entry point: $exported"

    local pc=$usr/lib/$multiarch/pkgconfig binary=$work/consumer-$name-pkg-config
    echo "package: pkg-config consumer with the shared libraries, against the $name"
    # Only the installed .pc files are searched, so they must be enough on their own.
    # shellcheck disable=SC2046
    c++ -std=c++17 -o "$binary-shared" Tests/Consumer/Main.cpp $(PKG_CONFIG_LIBDIR=$pc pkg-config --cflags --libs peltrak-system)
    LD_LIBRARY_PATH=$usr/lib/$multiarch "$binary-shared"
    [ "$(LD_LIBRARY_PATH=$usr/lib/$multiarch peltrak_libraries "$binary-shared")" = "$usr/lib/$multiarch" ] ||
        fail "the pkg-config consumer does not load the $name's shared libraries"
    echo "package: pkg-config consumer with the static libraries, against the $name"
    # shellcheck disable=SC2046
    c++ -std=c++17 -o "$binary-static" Tests/Consumer/Main.cpp $(PKG_CONFIG_LIBDIR=$pc pkg-config --cflags peltrak-system) \
        -Wl,-Bstatic $(PKG_CONFIG_LIBDIR=$pc pkg-config --static --libs peltrak-system) -Wl,-Bdynamic
    "$binary-static"
    [ "$(peltrak_libraries "$binary-static")" = static ] || fail "the static pkg-config consumer loads a shared Peltrak"
}
build_consumers "$prefix" install-prefix
build_consumers "$root/usr" dpkg-root
# Without arguments the demo producer prints its usage and ends with status 2, touching no block:
# proof that the installed program starts.
status=0
"$root/usr/bin/peltrak-publish" > /dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "the installed peltrak-publish ended with status $status, not 2 (usage)"

echo "package: man --warnings"
for page in doc/*.[0-9] "$root"/usr/share/man/man*/*.gz; do
    MANWIDTH=80 man --warnings -l "$page" 2> "$work/man.log" > /dev/null
    [ ! -s "$work/man.log" ] || { cat "$work/man.log" >&2; fail "groff warns about $page"; }
done

echo "package: a second build in another folder"
copy=$work/elsewhere/peltrak
mkdir -p "$copy"
# The files git tracks or would track, as they are in the working tree.
git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
    [ ! -e "$file" ] || printf '%s\0' "$file"
done | xargs -0 cp --parents -t "$copy"
(cd "$copy" && build_tree "$build" > "$work/second-build.log" 2>&1) ||
    { cat "$work/second-build.log" >&2; fail "the second build failed"; }
"$copy/scripts/build-debs.sh" "$copy/$build" "$work/debs-again" > /dev/null

# The SHA-256 of every package and of every file the packages hold, by path.
shipped_sums()
{
    (cd "$1" && sha256sum ./*.deb && cd stage/debian && find . -type f -path './*/*' -printf '%P\0' |
        LC_ALL=C sort -z | xargs -0 sha256sum)
}
shipped_sums "$work/debs" > "$work/sha256-first"
shipped_sums "$work/debs-again" > "$work/sha256-second"
echo "package: SHA-256 of the first build ($PWD/$build)"
cat "$work/sha256-first"
echo "package: SHA-256 of the second build ($copy/$build)"
cat "$work/sha256-second"
diff -u "$work/sha256-first" "$work/sha256-second" ||
    fail "the two builds differ (- first, + second); a file that names a path or a time is the usual cause"
echo "package: the two builds are byte-identical ($(wc -l < "$work/sha256-first") files)"
echo "package: clean"
