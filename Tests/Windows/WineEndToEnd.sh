#!/usr/bin/env bash
# End-to-end tests of the Windows programs under wine64:
#   Tests/Windows/WineEndToEnd.sh WINDOWS-BUILD REFERENCE-BUILD
# WINDOWS-BUILD is a mingw-w64 build configured with PELTRAK_SHARED_DIR=C:/peltrak-test/shm (wine
# keeps no boot time for Boost's own folder); its peltrak.exe writes to C:\zorvik\images\, both inside
# WINDOWS-BUILD/wineprefix. REFERENCE-BUILD is a Linux build of the same sources whose peltrak writes
# to REFERENCE-BUILD/captures/. Frames published by peltrak-publish.exe and captured by peltrak.exe
# must give the same bytes as the Linux tool writes for the same frame; the fault cases must print
# exactly what the tool prints on Windows. Prints one line per case; any failure fails the script.
set -euo pipefail

windows=$(realpath "$1")
reference=$(realpath "$2")
export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all
wine=/usr/lib/wine/wine64
blockFolder=$WINEPREFIX/drive_c/peltrak-test/shm
block=$blockFolder/ZV_SHM_MEMORY
images=$WINEPREFIX/drive_c/zorvik/images
sizeLine="shm size = 135000519 struct size = 135000519"
work=$(mktemp -d)
failures=0

cleanup()
{
    rm -rf "$work" "$blockFolder"
    "$reference/bin/peltrak-publish" remove >/dev/null || true
}
trap cleanup EXIT

fail()
{
    echo "  FAIL: $*"
    failures=$((failures + 1))
}

# Runs a Windows program; its standard output, with the console's CR LF line ends made LF, goes to
# $work/out, and its exit status to $status.
runWindows()
{
    status=0
    "$wine" "$windows/bin/$1" "${@:2}" >"$work/raw" 2>&1 || status=$?
    tr -d '\r' <"$work/raw" >"$work/out"
}

# Lines before the first log entry, and the number of critical entries.
plainLines() { sed '/^\[[0-9-]* [0-9:.]*\] /,$d' "$work/out"; }
criticalEntries() { grep -c '^\[[0-9-]* [0-9:.]*\] \[critical\] ' "$work/out" || true; }

# Expects one capture: status 0, only the size line, exactly one BMP in the folder, whose path goes to
# $captured.
expectCapture()
{
    captured=$(find "$1" -maxdepth 1 -type f)
    if [ "$status" -ne 0 ] || [ "$(cat "$work/out")" != "$sizeLine" ] || [ "$(wc -l <<<"$captured")" -ne 1 ] ||
        ! grep -qE '/0[0-9]{2,4}_[0-9]{1,2}_[0-9]{1,2}_[0-9]{1,2}_image_test\.bmp$' <<<"$captured"; then
        fail "expected one capture and the size line, got status $status, files [$captured], output:"
        cat "$work/out"
        return 1
    fi
}

# Expects a logged failure: status 0, the given plain lines, two critical entries, no file.
expectLoggedFailure()
{
    local expected
    expected=$(printf '%s\n' "$@")
    [ "$status" -eq 0 ] || fail "exit status $status instead of 0"
    [ "$(plainLines)" = "$expected" ] || fail "standard output lines [$(plainLines)] instead of [$expected]"
    [ "$(criticalEntries)" -eq 2 ] || fail "$(criticalEntries) critical entries instead of 2"
    [ -z "$(find "$images" -type f ! -name earlier-leftovers-removed 2>/dev/null)" ] || fail "a file was written"
}

# The trace's frames in peltrak.exe, resolved with addr2line against a debug file made the way the
# zip's is, must name the capture run.
expectTraceNamesCaptureRun()
{
    local base addresses
    x86_64-w64-mingw32-objcopy --only-keep-debug "$windows/bin/peltrak.exe" "$work/peltrak.exe.debug"
    base=$(x86_64-w64-mingw32-objdump -p "$work/peltrak.exe.debug" | awk '/^ImageBase/ { print "0x" $2 }')
    addresses=$(grep -oE 'peltrak\.exe\+0x[0-9a-f]+' "$work/out" | while read -r frame; do
        printf '0x%x\n' $((base + ${frame#peltrak.exe+}))
    done)
    [ -n "$addresses" ] || { fail "no peltrak.exe frame in the trace"; return; }
    # shellcheck disable=SC2086
    x86_64-w64-mingw32-addr2line -f -C -i -e "$work/peltrak.exe.debug" $addresses >"$work/frames"
    grep -q '^CaptureImage()$' "$work/frames" ||
        fail "the trace's frames do not resolve to CaptureImage: $(tr '\n' ' ' <"$work/out")"
}

mkdir -p "$blockFolder"

echo "wine end-to-end: frames byte for byte against the Linux tool"
for frame in "640 480 4" "1001 7 3" "7680 4320 4"; do
    echo "  $frame"
    read -r width height channels <<<"$frame"
    rm -rf "$images" "$reference/captures"
    mkdir -p "$images" "$reference/captures"
    runWindows peltrak-publish.exe pattern "$width" "$height" "$channels"
    [ "$status" -eq 0 ] || { fail "peltrak-publish.exe: $(cat "$work/out")"; continue; }
    runWindows peltrak.exe
    expectCapture "$images" || continue
    windowsFile=$captured

    "$reference/bin/peltrak-publish" pattern "$width" "$height" "$channels" >/dev/null
    "$reference/bin/peltrak" >"$work/out" 2>&1 && status=0 || status=$?
    expectCapture "$reference/captures" || continue
    cmp -s "$windowsFile" "$captured" || fail "the Windows file differs from the Linux one"
done

echo "  dead captures' temporaries are removed, live ones kept; earlier versions' until none is live"
rm -rf "$images"
mkdir -p "$images/.peltrak-workspace"
for dead in "$images/.peltrak-workspace/1-0.dib" "$images/.peltrak-1-0.partial.image.dib"; do
    touch -d '2 minutes ago' "$dead"
done
touch "$images/.peltrak-workspace/2-0.dib" "$images/.peltrak-2-0.partial.image.dib"
runWindows peltrak-publish.exe pattern 4 3 4
runWindows peltrak.exe
[ "$status" -eq 0 ] || fail "exit status $status: $(cat "$work/out")"
for dead in "$images/.peltrak-workspace/1-0.dib" "$images/.peltrak-1-0.partial.image.dib"; do
    [ ! -e "$dead" ] || fail "the dead capture's temporary ${dead#"$images"/} is still there"
done
for live in "$images/.peltrak-workspace/2-0.dib" "$images/.peltrak-2-0.partial.image.dib"; do
    [ -e "$live" ] || fail "a live capture's temporary ${live#"$images"/} was removed"
done
[ ! -e "$images/.peltrak-workspace/earlier-leftovers-removed" ] || fail "the output folder is marked clean too early"
touch -d '2 minutes ago' "$images/.peltrak-2-0.partial.image.dib"
runWindows peltrak.exe
[ ! -e "$images/.peltrak-2-0.partial.image.dib" ] || fail "the earlier version's temporary outlived its capture"
[ -e "$images/.peltrak-workspace/earlier-leftovers-removed" ] || fail "the output folder is not marked clean"

echo "wine end-to-end: fault cases"
echo "  a missing block is created anew"
rm -rf "$images" "$blockFolder"
mkdir -p "$images" "$blockFolder"
runWindows peltrak.exe
expectLoggedFailure "File not found." "create shm_memory "
[ "$(stat -c %s "$block" 2>/dev/null)" = 135000519 ] || fail "no block of 135000519 bytes in $blockFolder"
expectTraceNamesCaptureRun

echo "  a bad header is refused"
runWindows peltrak-publish.exe header 7680 4320 5
runWindows peltrak.exe
expectLoggedFailure "$sizeLine"
grep -q 'image header refused: Width 7680, Height 4320, Channels 5' "$work/out" || fail "no refusal in: $(cat "$work/out")"

echo "  a missing output folder is logged and not created"
rm -rf "$images"
runWindows peltrak-publish.exe pattern 4 3 4
runWindows peltrak.exe
expectLoggedFailure "$sizeLine"
grep -qF 'C:\zorvik\images\0' "$work/out" || fail "the entry does not name the output path: $(cat "$work/out")"
[ ! -e "$images" ] || fail "the output folder was created"

if [ "$failures" -ne 0 ]; then
    echo "wine end-to-end: $failures failure(s)"
    exit 1
fi
echo "wine end-to-end: passed"
