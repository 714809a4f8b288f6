#!/usr/bin/env bash
# Measures the window in a release build, against a bare QDialog started the same way:
#   - start to shown window to exit, on the simulated headset and with an adb that never answers;
#   - peak resident memory;
#   - the longest pause of the event loop during Install and Uninstall, on the simulated
#     headset at 0 and 300 ms per headset command;
#   - the time to append 10,000 lines to the activity log;
#   - the time from the first paint to the status line, with the real adb against an emulated
#     Pico 4, with adb's server running and with none, beside one `adb devices -l` alone.
# It prints figures; it does not fail on them.
#   scripts/bench.sh [runs]      each start measured that many times (15 unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-15}
source scripts/deps.sh
brelvo_install_missing

cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DBRELVO_BENCH=ON >/dev/null
cmake --build build-bench --parallel "$(nproc)" --target benchdriver fakeadb >/dev/null

# A program folder: the driver, the fake adb as tools/adb with its scenario, the APK files.
stage=build-bench/stage
rm -rf "$stage"
mkdir -p "$stage/tools"
cp build-bench/bench/benchdriver "$stage/"
cp build-bench/tests/fakeadb "$stage/tools/adb"
for name in BrelvoVRViewer.apk BrelvoVRViewer-Legacy.apk BrelvoVRViewer-Pico2.apk; do
    echo stand-in > "$stage/$name"
done
export QT_QPA_PLATFORM=offscreen
unset FAKEADB_SCENARIO FAKEADB_STATE FAKEADB_JOURNAL FAKEADB_PIDS

# scenario: the simulated headset at a latency per command, installing in a second.
headset() {
    python3 - "$1" <<'PY'
import json, sys
scenario = json.load(open("scripts/simulated-headset.json"))
device = scenario["devices"][0]
device["latencyMs"] = int(sys.argv[1])
device["installMs"] = 1000
print(json.dumps(scenario))
PY
}
use_scenario() {
    printf '%s\n' "$1" > "$stage/tools/fakeadb.json"
    rm -f "$stage/tools/fakeadb.json.state"
}

# The starts are measured in turns (bare dialog, window on the simulated headset, window with an
# adb that never answers), so that whatever else the machine does weighs on all three alike.
# Each start has its own program folder and scenario.
silent=build-bench/stage-silent
rm -rf "$silent"
cp -r "$stage" "$silent"
printf '%s\n' '{"rules": [{"args": "*", "responses": [{"hang": true}]}]}' > "$silent/tools/fakeadb.json"
use_scenario "$(headset 0)"
size=$(cd "$stage" && ./benchdriver window 2>/dev/null | awk '/^size/ {print $2, $3}')
python3 - "$runs" "$stage" "$silent" $size <<'PY'
import os, statistics, subprocess, sys, time
runs, stage, silent, width, height = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
starts = [("bare QDialog (%sx%s)" % (width, height), stage, ["dialog", width, height]),
          ("window, simulated headset", stage, ["window"]),
          ("window, adb never answers", silent, ["window"])]
wall = {label: [] for label, _, _ in starts}
rss = {label: [] for label, _, _ in starts}
for _ in range(runs):
    for label, folder, args in starts:
        start = time.perf_counter()
        child = subprocess.Popen(["./benchdriver"] + args, cwd=folder,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, _, usage = os.wait4(child.pid, 0)
        wall[label].append((time.perf_counter() - start) * 1000)
        rss[label].append(usage.ru_maxrss / 1024)
base = starts[0][0]
print("== start to shown window to exit (%d starts each; target: median within 1.3x the bare "
      "dialog's)" % runs)
for label, _, _ in starts:
    ratio = statistics.median(wall[label]) / statistics.median(wall[base])
    print("  %-34s median %5.1f ms  %4.2fx   fastest %5.1f ms"
          % (label, statistics.median(wall[label]), ratio, min(wall[label])))
print("== peak resident memory (target: within 1.3x the bare dialog)")
for label, _, _ in starts:
    ratio = statistics.median(rss[label]) / statistics.median(rss[base])
    print("  %-34s %5.1f MiB  %4.2fx" % (label, statistics.median(rss[label]), ratio))
PY
pkill -f "$silent/tools/adb" 2>/dev/null || true

echo "== longest pause of the event loop during an action (target: under 50 ms)"
for latency in 0 300; do
    use_scenario "$(headset "$latency")"
    for action in install uninstall; do
        # The headset keeps its state between the two, so Uninstall has the app to remove.
        result=$(cd "$stage" && ./benchdriver gaps "$action" 2>/dev/null)
        printf '  %-34s %6s ms  (the action took %s ms)\n' "$action, $latency ms per command" \
            "$(awk '/longest_gap_ms/ {print $2}' <<<"$result")" \
            "$(awk '/action_ms/ {print $2}' <<<"$result")"
    done
done
pkill -f "$stage/tools/adb" 2>/dev/null || true

echo "== activity log (target: 10,000 lines in under 1 s)"
use_scenario '{"devices": []}'
for _ in 1 2 3 4 5; do
    (cd "$stage" && ./benchdriver log 10000 2>/dev/null) | awk '/^append_ms/ {a = $2} /last_100/ {print a, $2}'
done | sort -n | awk '{t[NR] = $1; l[NR] = $2} END {
    printf "  %-34s median %5d ms   fastest %5d ms  (the last 100 lines of the fastest: %d ms)\n",
        "10,000 lines appended", t[3], t[1], l[1] }'
pkill -f "$stage/tools/adb" 2>/dev/null || true

echo "== first paint to the status line (target: one adb round trip + 20 ms with a server running)"
# The real adb, against an emulated Pico 4 on the emulator port, which a server that starts finds
# by itself as a USB headset is found.
real=build-bench/stage-real
rm -rf "$real"
cp -r "$stage" "$real"
cp "$(readlink -f "$(command -v adb)")" "$real/tools/adb"
python3 - "$runs" "$real" <<'PY'
import json, os, socket, statistics, subprocess, sys, time
runs, folder = int(sys.argv[1]), sys.argv[2]
adb = os.path.join(folder, "tools", "adb")
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
env = dict(os.environ, ANDROID_ADB_SERVER_PORT=str(probe.getsockname()[1]))
probe.close()
device = subprocess.Popen([sys.executable, "tests/support/emulated_adbd.py", json.dumps(
    {"port": 5555, "properties": {"ro.product.model": "Pico 4"}})],
    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
device.stdout.readline()
def run(*args):
    return subprocess.run([adb, *args], env=env, capture_output=True, text=True).stdout
run("start-server")
for _ in range(100):
    if "emulator-5554\tdevice" in run("devices"):
        break
    time.sleep(0.1)
def timed(args, **kw):
    start = time.perf_counter()
    out = subprocess.run(args, env=env, capture_output=True, text=True, **kw).stdout
    return (time.perf_counter() - start) * 1000, out
trips = [timed([adb, "devices", "-l"])[0] for _ in range(runs)]
def status(kill):
    times, lines = [], set()
    for _ in range(runs):
        if kill:
            run("kill-server")
        out = timed(["./benchdriver", "status"], cwd=folder)[1]
        values = dict(line.split(" ", 1) for line in out.splitlines() if " " in line)
        times.append(float(values["status_ms"]))
        lines.add(values["status"])
    return times, lines
running, running_lines = status(False)
none, none_lines = status(True)
print("  %-34s median %6.1f ms   fastest %6.1f ms" % ("one `adb devices -l`", statistics.median(trips), min(trips)))
for label, times, lines in [("server running", running, running_lines), ("no server (it starts)", none, none_lines)]:
    print("  %-34s median %6.1f ms   fastest %6.1f ms   (%s)" % (label, statistics.median(times), min(times), " / ".join(sorted(lines))))
run("kill-server")
device.kill()
PY
pkill -f "$real/tools/adb" 2>/dev/null || true
