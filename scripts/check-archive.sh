#!/usr/bin/env bash
# Unpacks a release archive and checks it: the program folder holds the program and tools/ with
# its note, and the program, started offscreen from another folder with nothing beside it,
# writes the start-up line and the three missing-file errors.
set -euo pipefail
archive=$(realpath "$1")
work=$(mktemp -d)
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

tar -xzf "$archive" -C "$work"
folder="$work/$(basename "$archive" .tar.gz)"
[ -x "$folder/BrelvoPico" ] || { echo "check-archive: no BrelvoPico in $folder"; exit 1; }
[ -f "$folder/tools/README.txt" ] || { echo "check-archive: no tools/README.txt"; exit 1; }

mkdir "$work/elsewhere"
cd "$work/elsewhere"
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="brelvo.log.info=true" "$folder/BrelvoPico" \
    2>"$work/messages.txt" &
app=$!
for _ in $(seq 150); do
    grep -q "Legacy APK" "$work/messages.txt" && break
    sleep 0.2
done

expected="brelvo.log: info: Starting Rivi Ravazov
brelvo.log: error: Error: Cannot find adb
brelvo.log: error: Error: Cannot find Brelvo VR Viewer APK
brelvo.log: error: Error: Cannot find Brelvo VR Viewer Legacy APK"
actual=$(grep '^brelvo.log: ' "$work/messages.txt" || true)
if [ "$actual" != "$expected" ]; then
    echo "check-archive: the unpacked program wrote:"
    cat "$work/messages.txt"
    exit 1
fi
echo "check-archive: $(basename "$archive") unpacks and starts"
