#!/usr/bin/env bash
# The capture under load: 1,280 captures of a published frame, in four runs of 320 (sequential and 50
# at a time, at 640 x 480 and at 8K), counting what was lost, partial or left behind.
#   bench/capture/load.sh
#
# Builds its own copy of the tool (block peltrak_load, output build-load/work/) and never touches the
# producer's block or the real output directory. After every 50 captures it checks them and deletes
# them, so at most 50 8K files (5 GB) exist at once; 50 concurrent 8K captures need about 6 GB of
# memory. Lost: a capture with no file. Partial: a file whose bytes differ from the run's first file.
# Left: any other entry in the output directory, and anything in the tool's workspace there but its
# marker (temporaries). Not run in CI.
set -euo pipefail
cd "$(dirname "$0")/../.."
build=$PWD/build-load
work=$build/work
block=peltrak_load
batch=50
perRun=320

scripts/build-opencv.sh >/dev/null
cmake -S . -B "$build" -DPELTRAK_BUILD_TESTS=OFF -DPELTRAK_BLOCK_NAME=$block -DPELTRAK_OUTPUT_DIRECTORY="$work/" >/dev/null
cmake --build "$build" -j2 --target peltrak peltrak-publish >/dev/null
tool=$build/Apps/peltrak
rm -rf "$work" && mkdir -p "$work" "$build/logs"

totalLost=0 totalPartial=0 totalLeft=0 totalFailed=0 total=0
for size in "640 480" "7680 4320"; do
    # shellcheck disable=SC2086
    "$build/Apps/peltrak-publish" --name $block pattern $size 4 >/dev/null
    for mode in sequential concurrent; do
        lost=0 partial=0 left=0 failed=0 reference=
        start=$(date +%s.%N)
        for ((done = 0; done < perRun; done += batch)); do
            count=$((perRun - done < batch ? perRun - done : batch))
            rm -f "$build"/logs/*
            for ((i = 0; i < count; i++)); do
                if [ $mode = sequential ]; then
                    "$tool" >"$build/logs/$i" 2>&1 || echo "status $?" >>"$build/logs/$i"
                else
                    { "$tool" >"$build/logs/$i" 2>&1 || echo "status $?" >>"$build/logs/$i"; } &
                fi
            done
            wait
            failed=$((failed + $(grep -l -e '\[critical\]' -e '^status' "$build"/logs/* | wc -l || true)))
            files=0
            workspace=$work/.peltrak-workspace-$(id -u)
            for entry in "$work"/* "$work"/.[!.]* "$workspace"/* "$workspace"/.[!.]*; do
                [ -e "$entry" ] || [ -L "$entry" ] || continue
                [ "$entry" != "$workspace" ] && [ "$entry" != "$workspace/earlier-leftovers-removed" ] || continue
                name=${entry##*/}
                if [[ ! $name =~ ^0[0-9]+_[0-9]+_[0-9]+_[0-9]+(-[0-9]+)?_image_test\.bmp$ ]] || [ -L "$entry" ]; then
                    left=$((left + 1)); rm -rf "$entry"; continue
                fi
                files=$((files + 1))
                if [ -z "$reference" ]; then
                    reference=$build/reference.bmp; cp "$entry" "$reference"
                    read -r width height <<<"$size"
                    [ "$(stat -c %s "$reference")" -eq $((54 + (width * 3 + 3) / 4 * 4 * height)) ] || partial=$((partial + 1))
                elif ! cmp -s "$entry" "$reference"; then
                    partial=$((partial + 1))
                fi
                rm -f "$entry"
            done
            lost=$((lost + count - files))
        done
        seconds=$(echo "$(date +%s.%N) - $start" | bc)
        rm -f "$build/reference.bmp"
        printf '%-10s %-9s %4d captures in %6.1f s: %d lost, %d partial, %d left behind, %d logged a failure\n' \
            "${size/ /x}" $mode $perRun "$seconds" $lost $partial $left $failed
        total=$((total + perRun)) totalLost=$((totalLost + lost)) totalPartial=$((totalPartial + partial))
        totalLeft=$((totalLeft + left)) totalFailed=$((totalFailed + failed))
    done
done
"$build/Apps/peltrak-publish" --name $block remove >/dev/null
echo "all: $total captures, $totalLost lost, $totalPartial partial, $totalLeft left behind, $totalFailed logged a failure"
[ $((totalLost + totalPartial + totalLeft + totalFailed)) -eq 0 ]
