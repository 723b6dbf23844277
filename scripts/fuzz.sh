#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and UndefinedBehaviorSanitizer, replays
# their committed corpora, then fuzzes each one from that corpus.
#   scripts/fuzz.sh [seconds-per-target]         every target for a bounded time (default 30 s), as CI does
#   scripts/fuzz.sh --long MINUTES [TARGET...]   the targets named (default: all) for MINUTES each, one
#                                                after the other; then each one's corpus is merged and
#                                                minimized into Tests/Fuzz/corpus/<target>/, to commit
# Every input gets 2 seconds and 1 GB, so that time or memory growing faster than the input is a
# finding, not a slow run. Each target's line gives its executions, their rate, its coverage (libFuzzer's
# cov: edges, ft: features) and its findings; the script fails when a target has one, after the others.
# Two invocations may run side by side with different targets, one on each core; a target is fuzzed by
# one invocation at a time.
#
# A failing input is left in build-fuzz/findings/<target>/; once the fault is mended, add it to
# Tests/Fuzz/corpus/<target>/ under a name that says what it holds. The merge keeps every file with a
# name of its own and replaces only libFuzzer's, which are SHA-1 sums, so such an input stays a
# regression test.
set -euo pipefail
cd "$(dirname "$0")/.."

usage()
{
    echo "usage: scripts/fuzz.sh [seconds-per-target] | --long MINUTES [TARGET...]" >&2
    exit 2
}
long=false
targets=()
if [ "${1:-}" = --long ]; then
    if [ $# -lt 2 ] || ! [[ $2 =~ ^[1-9][0-9]*$ ]]; then
        usage
    fi
    long=true
    seconds=$(($2 * 60))
    shift 2
    targets=("$@")
else
    [ $# -le 1 ] || usage
    seconds=${1:-30}
    [[ $seconds =~ ^[1-9][0-9]*$ ]] || usage
fi
limits=(-timeout=2 -rss_limit_mb=1024)
export ASAN_OPTIONS=halt_on_error=1:detect_leaks=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# Set-up and build, one invocation at a time: a second one waits, then finds everything built.
mkdir -p build-fuzz
(
    flock 9
    scripts/setup.sh --hardening
    CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DPELTRAK_BUILD_FUZZERS=ON -DPELTRAK_BUILD_TESTS=OFF \
        -DPELTRAK_ENABLE_SANITIZERS=ON -DPELTRAK_OPENCV=system -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
    cmake --build build-fuzz -j "$(nproc)" --target fuzzers
) 9> build-fuzz/build.lock

mapfile -t known < build-fuzz/fuzzers.txt
[ ${#targets[@]} -gt 0 ] || targets=("${known[@]}")
for target in "${targets[@]}"; do
    if [[ " ${known[*]} " != *" $target "* ]]; then
        echo "fuzz: no target $target; the targets are: ${known[*]}" >&2
        exit 2
    fi
    # FuzzCapture's runs share one block and one directory, and any target's runs its work directory.
    mkdir -p build-fuzz/work
    exec {lock}> "build-fuzz/work/$target.lock"
    if ! flock -n "$lock"; then
        echo "fuzz: $target is being fuzzed by another invocation" >&2
        exit 2
    fi
done

ctest --test-dir build-fuzz -L Fuzz -R "^($(IFS='|'; echo "${targets[*]}"))\.corpus\$" --output-on-failure

# The last value of a libFuzzer statistic in a log ("stat::name:   12" or "name: 12"), else "?".
statistic()
{
    grep -oE "$1:[[:space:]]+[0-9]+" "$2" | tail -n 1 | grep -oE '[0-9]+$' || echo '?'
}

# Fuzzes one target; prints its line, and the log's end and the input when it has a finding.
fuzz_target()
{
    local target=$1
    local work=build-fuzz/work/$target findings=build-fuzz/findings/$target log=build-fuzz/$target.log
    mkdir -p "$work" "$findings"
    echo "fuzz: $target for ${seconds}s"
    local status=0
    "build-fuzz/Tests/Fuzz/$target" -max_total_time="$seconds" "${limits[@]}" -print_final_stats=1 \
        -artifact_prefix="$findings/" "$work" "Tests/Fuzz/corpus/$target" 2> "$log" < /dev/null || status=$?
    local inputs
    inputs=$(sed -n 's/.*Test unit written to \(.*\)/\1/p' "$log" | tr '\n' ' ')
    echo "fuzz: $target: $(statistic stat::number_of_executed_units "$log") executions," \
        "$(statistic stat::average_exec_per_sec "$log")/s, cov $(statistic cov "$log") ft $(statistic ft "$log")," \
        "findings: ${inputs:-none}"
    if [ "$status" -ne 0 ] || [ -n "$inputs" ]; then
        tail -n 40 "$log"
        echo "fuzz: $target failed (status $status); the input is in $findings" >&2
        return 1
    fi
}

# Minimizes the target's committed corpus together with what fuzzing found: the files named by hand
# first, then the fewest and smallest inputs that reach every feature those do not.
merge_corpus()
{
    local target=$1
    local corpus=Tests/Fuzz/corpus/$target fresh=build-fuzz/merged/$target log=build-fuzz/$target.merge.log
    rm -rf "$fresh"
    mkdir -p "$fresh" "$corpus"
    find "$corpus" -maxdepth 1 -type f ! -regex '.*/[0-9a-f]\{40\}' -exec cp {} "$fresh/" \;
    if ! "build-fuzz/Tests/Fuzz/$target" -merge=1 "${limits[@]}" "$fresh" "$corpus" "build-fuzz/work/$target" \
        2> "$log" < /dev/null; then
        tail -n 20 "$log"
        echo "fuzz: merging $target's corpus failed; it is left as it was" >&2
        return 1
    fi
    local before after
    before=$(find "$corpus" -type f | wc -l)
    rm -rf "$corpus"
    mv "$fresh" "$corpus"
    after=$(find "$corpus" -type f | wc -l)
    echo "fuzz: $target: corpus merged, $before files before, $after now ($(($(du -sb "$corpus" | cut -f1) / 1024)) KB)"
    # The merge runs the inputs in a child and starts another after one that fails, leaving it out.
    if [ "$(grep -c 'MERGE-OUTER: attempt' "$log")" -gt 1 ]; then
        echo "fuzz: an input failed while $target's corpus was merged; see $log" >&2
        return 1
    fi
}

failed=()
for target in "${targets[@]}"; do
    fuzz_target "$target" || failed+=("$target")
    if $long; then
        merge_corpus "$target" || failed+=("$target")
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz: failed: ${failed[*]}" >&2
    exit 1
fi
