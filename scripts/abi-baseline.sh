#!/usr/bin/env bash
# The ABI baseline of the shared libraries: one abidw dump per library in abi/, named after its SONAME.
#   scripts/abi-baseline.sh                 builds the libraries alone in build-abi/ and rewrites abi/
#                                           (run it after a deliberate change of the exported interface)
#   scripts/abi-baseline.sh --check BUILD   compares BUILD's libraries with abi/ through abidiff: fails on a
#                                           change that breaks programs linked against the same SONAME
#                                           (a removed or changed function, variable or type), reports
#                                           compatible additions and passes
# Both need the libraries with their debugging information (a RelWithDebInfo or Debug build). The
# libraries export only what the headers mark (Foundation/tExport.h), so every type the dumps hold is
# one a caller can reach. The dumps name no path or line, so that moving code and building elsewhere
# change nothing.
set -euo pipefail
cd "$(dirname "$0")/.."

fail()
{
    echo "abi: $*" >&2
    exit 1
}

# The shared objects of a build, by their real file names.
libraries()
{
    local build=$1 library
    for library in "$build"/Modules/*/libpeltrak-*.so.*.*.*; do
        [ -f "$library" ] || fail "$build holds no shared library (configure it with -DPELTRAK_BUILD_SHARED_LIBS=ON)"
        readelf -S "$library" | grep -q '\.debug_info' ||
            fail "$library has no debugging information: build it as RelWithDebInfo"
        echo "$library"
    done
}
soname() { objdump -p "$1" | awk '$1 == "SONAME" { print $2 }'; }

if [ "${1:-}" = "--check" ]; then
    [ $# -eq 2 ] || fail "usage: scripts/abi-baseline.sh --check BUILD"
    status=0
    report=$(mktemp)
    trap 'rm -f "$report"' EXIT
    for library in $(libraries "$2"); do
        name=$(soname "$library")
        baseline=abi/$name.abi
        [ -f "$baseline" ] ||
            fail "no baseline for $name: a new SONAME starts its own, made with scripts/abi-baseline.sh"
        echo "abi: abidiff $baseline $library"
        result=0
        abidiff --no-show-locs "$baseline" "$library" | tee "$report" || result=${PIPESTATUS[0]}
        # abidiff's status is a bit set: 1 an error, 2 a usage error, 4 a change, 8 a removed interface.
        # A type that changed size or layout sets only 4, like an addition, so the summary decides:
        # programs linked against the baseline keep working only when nothing was removed or changed.
        if [ $((result & 3)) -ne 0 ]; then
            fail "abidiff could not compare $name (status $result)"
        elif [ $((result & 8)) -ne 0 ] || grep -Eq '(^|[^0-9])[1-9][0-9]* (Removed|Changed)' "$report"; then
            echo "abi: $name changed incompatibly under the same SONAME: restore the interface, or raise the" \
                "major version and make a new baseline" >&2
            status=1
        elif [ $((result & 4)) -ne 0 ]; then
            echo "abi: $name only gained interfaces; scripts/abi-baseline.sh records them"
        else
            echo "abi: $name unchanged"
        fi
    done
    exit $status
fi
[ $# -eq 0 ] || fail "usage: scripts/abi-baseline.sh [--check BUILD]"

build="build-abi"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELTRAK_BUILD_APPS=OFF -DPELTRAK_BUILD_TESTS=OFF \
    -DPELTRAK_BUILD_SHARED_LIBS=ON > /dev/null
cmake --build "$build" -j "$(nproc)" --target FoundationShared SystemShared
rm -f abi/*.abi
mkdir -p abi
for library in $(libraries "$build"); do
    name=$(soname "$library")
    abidw --no-corpus-path --no-comp-dir-path --no-show-locs --out-file "abi/$name.abi" "$library"
    echo "abi: wrote abi/$name.abi ($(nm -D --defined-only "$library" | wc -l) exported symbols)"
done
