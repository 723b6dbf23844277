#!/usr/bin/env bash
# The main job: set up, build, publish a sample frame into the shared block with the demo producer,
# capture it with peltrak and say where the BMP went.
#   scripts/run.sh          publishes a generated 1920 x 1080 test pattern
#   scripts/run.sh IMAGE    publishes IMAGE instead (a BMP file: the lean OpenCV reads no other format)
set -euo pipefail
cd "$(dirname "$0")/.."

image="${1:-}"
dir=build
outputDirectory=/zorvik/images

scripts/setup.sh
scripts/build-opencv.sh >/dev/null
# The build tree and options of scripts/test.sh, of which only the two programs are built: the test
# run that usually follows compiles just the tests.
cmake -S . -B "$dir" -DPELTRAK_WARNINGS_AS_ERRORS=ON
cmake --build "$dir" -j "$(nproc)" --target peltrak peltrak-publish

# The tool never creates its output directory; this script does, for the user who runs it.
if [ ! -d "$outputDirectory" ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" mkdir -p "$outputDirectory"
    "${sudo[@]}" chown "$(id -u):$(id -g)" "$outputDirectory"
fi
if [ ! -w "$outputDirectory" ]; then
    echo "run.sh: $outputDirectory is not writable by $(id -un); peltrak will log the failed write" >&2
fi

if [ -n "$image" ]; then
    "$dir/Apps/peltrak-publish" image "$image"
else
    "$dir/Apps/peltrak-publish" pattern 1920 1080 4
fi

before=$(ls -A "$outputDirectory")
status=0
"$dir/Apps/peltrak" || status=$?
after=$(ls -A "$outputDirectory")

written=$(comm -13 <(printf '%s\n' "$before" | sort) <(printf '%s\n' "$after" | sort) | grep -v '^$' || true)
if [ -n "$written" ]; then
    echo "run.sh: the BMP went to $outputDirectory/$written"
else
    echo "run.sh: no BMP was written (see the critical log entries above)" >&2
    [ "$status" -eq 0 ] && status=1
fi
exit "$status"
