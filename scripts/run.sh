#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it from a staged program folder.
#
#   scripts/run.sh                          on a simulated Pico headset, with stand-in APKs
#   scripts/run.sh --adb PATH --apks DIR    for real: PATH is adb, DIR holds the three APKs
#
# The simulated headset (scripts/simulated-headset.json) is a Pico 4 with an OpenXR runtime;
# its state lives in stage/tools/fakeadb.json.state and starts afresh on every run.
set -euo pipefail
cd "$(dirname "$0")/.."

adb=""
apks=""
while [ $# -gt 0 ]; do
    case "$1" in
        --adb) adb=$2; shift 2 ;;
        --apks) apks=$2; shift 2 ;;
        *) echo "usage: scripts/run.sh [--adb PATH --apks DIR]" >&2; exit 2 ;;
    esac
done

source scripts/deps.sh
brelvo_install_missing

cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-run --parallel "$(nproc)" --target BrelvoPico fakeadb

stage=stage
rm -rf "$stage"
mkdir -p "$stage/tools"
cp build-run/BrelvoPico "$stage/"
apk_names=(BrelvoVRViewer.apk BrelvoVRViewer-Legacy.apk BrelvoVRViewer-Pico2.apk)
if [ -n "$adb" ]; then
    cp "$adb" "$stage/tools/adb"
else
    cp build-run/tests/fakeadb "$stage/tools/adb"
    cp scripts/simulated-headset.json "$stage/tools/fakeadb.json"
fi
for name in "${apk_names[@]}"; do
    if [ -n "$apks" ]; then
        cp "$apks/$name" "$stage/"
    else
        printf 'stand-in for %s\n' "$name" > "$stage/$name"
    fi
done
echo "Starting $stage/BrelvoPico"
exec "$stage/BrelvoPico"
