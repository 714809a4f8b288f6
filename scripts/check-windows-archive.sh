#!/usr/bin/env bash
# Checks the Windows release ZIP under Wine and Xvfb, with the real Windows platform plugin:
#   1. it unpacks into a folder whose path has a space and a letter beyond ASCII, and holds the
#      program, its Qt libraries and plugins, the MinGW runtime and tools/README.txt;
#   2. started from another folder with nothing beside it, the program writes the start-up line
#      and the three missing-file errors (read from the brelvo.log category);
#   3. with the fake adb in tools/ on the simulated headset, it finds the headset, is
#      photographed, and Escape ends it.
#   check-windows-archive.sh <zip> <fakeadb.exe> <AdbWinApi.dll> <scenario.json> <screenshot.png>
# Expects WINEPREFIX (and a running wineserver) from scripts/test.sh --windows.
set -euo pipefail
zip=$(realpath "$1") fakeadb=$(realpath "$2") dll=$(realpath "$3") scenario=$(realpath "$4")
screenshot=$(realpath -m "$5")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "check-windows-archive: $*"; exit 1; }

unpacked="$work/Brelvo Pico ü"
mkdir -p "$unpacked" "$work/elsewhere"
(cd "$unpacked" && cmake -E tar xf "$zip")
folder="$unpacked/$(basename "$zip" .zip)"
for file in BrelvoPico.exe Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll platforms/qwindows.dll \
            styles/qwindowsvistastyle.dll libstdc++-6.dll libgcc_s_seh-1.dll \
            libwinpthread-1.dll tools/README.txt; do
    [ -f "$folder/$file" ] || fail "no $file in the archive"
done

# Runs the program under Xvfb with its messages in $work/messages.txt until the given line shows,
# then runs the given command (a screenshot, say) and presses Escape.
run() {
    local until=$1 then=$2
    rm -f "$work/messages.txt"
    # The program must find its libraries beside it, not on a search path of the build.
    env -u WINEPATH WINEQT_LOGGING_RULES="brelvo.log.info=true" WINEQT_FORCE_STDERR_LOGGING=1 \
        xvfb-run -a -s "-screen 0 800x700x24" bash -c '
        cd "$1" && wine "$2" 2>"$3" &
        for _ in $(seq 300); do grep -q "$4" "$3" 2>/dev/null && break; sleep 0.2; done
        sleep 2
        eval "$5"
        window=$(xdotool search --name "^Brelvo Pico$" | head -n 1)
        [ -n "$window" ] && xdotool windowfocus --sync "$window" key Escape
        for _ in $(seq 100); do jobs -r | grep -q . || break; sleep 0.2; done
        if jobs -r | grep -q .; then echo "check-windows-archive: Escape did not end it"; kill %1; fi
        ' _ "$work/elsewhere" "$folder/BrelvoPico.exe" \
        "$work/messages.txt" "$until" "$then"
}

run "Legacy APK" true
expected="brelvo.log: info: Starting Rivi Ravazov
brelvo.log: error: Error: Cannot find adb
brelvo.log: error: Error: Cannot find Brelvo VR Viewer APK
brelvo.log: error: Error: Cannot find Brelvo VR Viewer Legacy APK"
actual=$(grep '^brelvo.log: ' "$work/messages.txt" | tr -d '\r' || true)
[ "$actual" = "$expected" ] || { cat "$work/messages.txt"; fail "unexpected start-up lines"; }

# The simulated headset, with the fake adb (which needs Qt's core library: from the folder).
cp "$fakeadb" "$folder/tools/adb.exe"
cp "$dll" "$folder/tools/AdbWinApi.dll"
cp "$scenario" "$folder/tools/fakeadb.json"
for name in BrelvoVRViewer.apk BrelvoVRViewer-Legacy.apk BrelvoVRViewer-Pico2.apk; do
    echo stand-in > "$folder/$name"
done
WINEPATH="$folder" run "Pico headset connected" "import -window root \"$screenshot\""
grep -q "Pico headset connected: Pico 4 (PA7L10MGH8)." "$work/messages.txt" \
    || { cat "$work/messages.txt"; fail "the headset was not found"; }
[ -s "$screenshot" ] || fail "no screenshot"
echo "check-windows-archive: $(basename "$zip") unpacks, starts and finds the headset; screenshot: $screenshot"
