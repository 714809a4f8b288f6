#!/usr/bin/env bash
# Runs the real program under a real X server on the simulated headset: the window appears at
# 492 pixels wide, Install is clicked, the install command reaches adb, a screenshot of the
# outcome is saved, and Escape ends the program with status 0.
#   smoke.sh <BrelvoPico> <fakeadb> <scenario> <screenshot.png>
set -euo pipefail
program=$1 fakeadb=$2 scenario=$3 screenshot=$4

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/tools"
cp "$program" "$folder/BrelvoPico"
cp "$fakeadb" "$folder/tools/adb"
cp "$scenario" "$folder/tools/fakeadb.json"
for name in BrelvoVRViewer.apk BrelvoVRViewer-Legacy.apk BrelvoVRViewer-Pico2.apk; do
    echo stand-in > "$folder/$name"
done
export FAKEADB_JOURNAL="$folder/journal.jsonl"

cat > "$folder/inside.sh" <<'INSIDE'
set -euo pipefail
folder=$1 screenshot=$2
QT_QPA_PLATFORM=xcb "$folder/BrelvoPico" &
app=$!
trap 'kill $app 2>/dev/null || true' EXIT
window=""
for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Brelvo Pico$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.2
done
[ -n "$window" ] || { echo "smoke: the window did not appear"; exit 1; }
sleep 1
width=$(xwininfo -id "$window" | awk '/Width:/ {print $2}')
[ "$width" = 492 ] || { echo "smoke: the window is $width pixels wide, not 492"; exit 1; }
# The Install button sits left of the window's middle, below the welcome text. A click that
# arrives before the window takes input is lost, so try a few times.
for _ in 1 2 3; do
    xdotool mousemove --window "$window" 150 258 click 1
    for _ in $(seq 50); do
        grep -q '"install"' "$folder/journal.jsonl" 2>/dev/null && break 2
        sleep 0.2
    done
done
grep -q '"install"' "$folder/journal.jsonl" || {
    echo "smoke: Install sent no install command; adb was asked:"
    cat "$folder/journal.jsonl" 2>/dev/null
    exit 1
}
sleep 5
import -window root "$screenshot"

# Escape closes the dialog; the program then ends with the event loop's result, 0.
xdotool windowfocus --sync "$window" key Escape
status=0
for _ in $(seq 50); do
    kill -0 $app 2>/dev/null || break
    sleep 0.2
done
if kill -0 $app 2>/dev/null; then
    echo "smoke: Escape did not end the program"
    exit 1
fi
wait $app || status=$?
[ $status -eq 0 ] || { echo "smoke: the program ended with status $status after Escape"; exit 1; }
INSIDE

xvfb-run -a -s "-screen 0 800x600x24" bash "$folder/inside.sh" "$folder" "$screenshot"
echo "smoke: screenshot saved to $screenshot"
