#!/usr/bin/env bash
# Makes the Debian packages from a built tree that was configured with -DCMAKE_INSTALL_PREFIX=/usr:
#   scripts/build-debs.sh BUILD-DIR OUTPUT-DIR
# writes OUTPUT-DIR/<package>_<version>_<arch>.deb for
#   peltrak       the runtime and demo components: peltrak, peltrak-publish and their manual pages
#   libpeltrak1   the libraries component: libpeltrak-foundation.so.1 and libpeltrak-system.so.1
#   peltrak-dev   the development component: headers, static archives, .so links, CMake package,
#                 pkg-config files, section-3 manual pages
# with what debhelper would add, from dpkg's own tools and packaging/debian/: the copyright file and
# changelog.Debian.gz and lintian overrides (each with its reason) in each package, md5sums,
# dependencies from dpkg-shlibdeps, and for the library package its shlibs file and ldconfig trigger. Binaries are stripped as dh_strip
# strips them. Every timestamp is SOURCE_DATE_EPOCH (by default the last commit's time, else the
# changelog's date), so the same tree gives the same bytes. OUTPUT-DIR/stage keeps the package trees.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: scripts/build-debs.sh BUILD-DIR OUTPUT-DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
meta=$root/packaging/debian

fail()
{
    echo "build-debs: $*" >&2
    exit 1
}

build=$(realpath -e "$1") || fail "no build directory $1"
out=$(realpath -m "$2")
cached() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a CMake build directory"
[ "$(cached CMAKE_INSTALL_PREFIX)" = /usr ] || fail "configure $build with -DCMAKE_INSTALL_PREFIX=/usr"
[ "$(cached PELTRAK_BUILD_SHARED_LIBS)" = ON ] || fail "configure $build with -DPELTRAK_BUILD_SHARED_LIBS=ON"
version=$(cached CMAKE_PROJECT_VERSION)
debianVersion=$(dpkg-parsechangelog -l "$meta/changelog" -SVersion)
[ "${debianVersion%-*}" = "$version" ] ||
    fail "packaging/debian/changelog is at $debianVersion, the build at $version: add a changelog entry"

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null ||
        dpkg-parsechangelog -l "$meta/changelog" -STimestamp)
fi
export SOURCE_DATE_EPOCH

# dpkg-shlibdeps and dpkg-gencontrol work in a debhelper-style tree: debian/control, debian/changelog
# and one debian/<package>/ per package, with its control files in DEBIAN/.
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage/debian"
cp "$meta/control" "$meta/changelog" "$stage/debian/"
cd "$stage"
umask 022

# Installs the components into debian/<package>/ and adds the package's documents.
stage_package()
{
    local package=$1 component
    shift
    mkdir -p "debian/$package/DEBIAN"
    for component in "$@"; do
        DESTDIR=$stage/debian/$package cmake --install "$build" --component "$component" > /dev/null
    done
    local doc=debian/$package/usr/share/doc/$package
    mkdir -p "$doc"
    cp "$meta/copyright" "$doc/copyright"
    gzip -9n < "$meta/changelog" > "$doc/changelog.Debian.gz"
    local overrides=debian/$package/usr/share/lintian/overrides
    mkdir -p "$overrides"
    cp "$meta/$package.lintian-overrides" "$overrides/$package"
}
stage_package peltrak runtime demo
stage_package libpeltrak1 libraries
stage_package peltrak-dev development

# As dh_strip: programs lose their debugging sections and symbol table (the dynamic symbols that
# the stack traces fall back to stay), shared objects everything unneeded, archives their debugging
# sections only; none keeps the compiler's version notes.
find debian -path '*/DEBIAN' -prune -o -type f -print | LC_ALL=C sort | while read -r file; do
    case "$(file -b "$file")" in
    *"ELF"*"shared object"*)
        if [[ $file == */bin/* ]]; then
            strip --remove-section=.comment --remove-section=.note "$file"
        else
            strip --remove-section=.comment --remove-section=.note --strip-unneeded "$file"
            chmod 0644 "$file" # A library is not a program.
        fi ;;
    *"ELF"*"executable"*) strip --remove-section=.comment --remove-section=.note "$file" ;;
    *"ar archive"*)
        strip --strip-debug --remove-section=.comment --remove-section=.note --enable-deterministic-archives "$file" ;;
    esac
done

libraryDir=debian/libpeltrak1/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)
: > debian/libpeltrak1/DEBIAN/shlibs
for library in "$libraryDir"/lib*.so.*.*.*; do
    soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
    [[ $soname =~ ^(.+)\.so\.([0-9]+)$ ]] || fail "$library has no versioned SONAME: $soname"
    echo "${BASH_REMATCH[1]} ${BASH_REMATCH[2]} libpeltrak1 (>= $version)" >> debian/libpeltrak1/DEBIAN/shlibs
done
[ -s debian/libpeltrak1/DEBIAN/shlibs ] || fail "the build installed no shared library"
cp "$meta/libpeltrak1.triggers" debian/libpeltrak1/DEBIAN/triggers

mkdir -p "$out"
for package in peltrak libpeltrak1 peltrak-dev; do
    tree=debian/$package
    mapfile -t binaries < <(find "$tree" -type f \( -path '*/bin/*' -o -name '*.so.*' \) | LC_ALL=C sort)
    if [ ${#binaries[@]} -gt 0 ]; then
        # Within the package, a library needs no dependency on its own package.
        dpkg-shlibdeps -T"debian/$package.substvars" -x"$package" "${binaries[@]}" 2> debian/shlibdeps.log ||
            { cat debian/shlibdeps.log >&2; fail "dpkg-shlibdeps failed for $package"; }
    fi
    (cd "$tree" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0r md5sum) \
        > "$tree/DEBIAN/md5sums"
    dpkg-gencontrol -p"$package" -P"$tree" -T"debian/$package.substvars" -fdebian/files
    chmod 0644 "$tree"/DEBIAN/*
    # One compressor thread: xz splits its output into blocks when it runs threaded, so the bytes
    # would otherwise depend on the number of processors.
    dpkg-deb --root-owner-group --threads-max=1 --build "$tree" "$out" > /dev/null
done
echo "build-debs: wrote $(cd "$out" && find . -maxdepth 1 -name '*.deb' -printf '%f\n' | sort | paste -sd ' ')"
