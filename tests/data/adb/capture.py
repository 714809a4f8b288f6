#!/usr/bin/env python3
"""Captures what the real adb client prints, for the tests' fixtures in this folder.

Runs the adb found on PATH (its own server on the default port 5037, so stop any other adb
server first) against headsets emulated by emulated_adbd.py, and writes one JSON file a
capture: where it came from, the command, the exit code and both output streams, byte for byte.
What each capture is made on is the table in captures.json, which tst_fakeadb reads too.

    tests/data/adb/capture.py            # all captures but those of Debian's real adbd
    tests/data/adb/capture.py NAME...    # only these (the adbd ones as root, where it is installed)

BRELVO_CAPTURE_DIR names another folder to write to, for the captures of another client
(tests/data/adb/adb-34.0.5/ holds those of Debian 13's adb), and BRELVO_CAPTURE_SYSTEM the system
it ran on, for their source (for adb.exe under Wine: an `adb` on PATH that runs it with wine).
"""
import json
import os
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.environ.get("BRELVO_CAPTURE_DIR", HERE)
EMULATED_ADBD = os.path.join(HERE, "..", "..", "support", "emulated_adbd.py")
ADBD = "/usr/lib/android-sdk/platform-tools/adbd"
with open(os.path.join(HERE, "captures.json"), encoding="utf-8") as table:
    TABLE = json.load(table)
DEVICES = TABLE["devices"]


def adb_version():
    out = subprocess.run(["adb", "version"], capture_output=True, text=True).stdout.splitlines()
    system = os.environ.get("BRELVO_CAPTURE_SYSTEM", sys.platform)
    return "%s (%s, %s)" % (out[0].split()[-1], out[1].replace("Version ", ""), system)


def adb(*args, timeout=20):
    # Into files, read once adb has ended: under Wine a server that the command starts keeps
    # the command's error stream open, so a pipe would not end with the command.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        process = subprocess.Popen(["adb", *args], stdout=out, stderr=err)
        try:
            code = process.wait(timeout)
        except subprocess.TimeoutExpired:  # adb waits for a device: stopped, as the program does
            process.terminate()
            code = process.wait()
        out.seek(0)
        err.seek(0)
        return code, out.read().decode(), err.read().decode()


class Emulated:
    def __init__(self, *profiles):
        self.profiles = profiles
        self.processes = []

    def __enter__(self):
        for profile in self.profiles:
            process = subprocess.Popen([sys.executable, EMULATED_ADBD, json.dumps(profile)],
                                       stdout=subprocess.PIPE,
                                       stderr=subprocess.DEVNULL)
            process.stdout.readline()
            self.processes.append(process)
        adb("start-server")
        for profile in self.profiles:
            adb("connect", "127.0.0.1:%d" % profile["port"])
        time.sleep(1.0)
        return self

    def __exit__(self, *exc):
        for profile in self.profiles:
            adb("disconnect", "127.0.0.1:%d" % profile["port"])
        for process in self.processes:
            process.kill()
            process.wait()


class FakeServer:
    """Something on adb's port: an older adb server, or a program that closes every connection."""

    def __init__(self, version=None):
        self.version = version
        self.listener = socket.socket()
        self.listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.listener.bind(("127.0.0.1", 5037))
        self.listener.listen(4)
        threading.Thread(target=self.serve, daemon=True).start()

    def serve(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            request = connection.recv(64)
            if self.version is not None and b"host:version" in request:
                connection.sendall(b"OKAY0004%04x" % self.version)
            elif self.version is not None and b"host:kill" in request:
                connection.sendall(b"OKAY")
                connection.close()
                self.listener.close()
                return
            connection.close()

    def close(self):
        self.listener.close()


def held_port():
    # A socket bound to the port but not listening: the client cannot connect, and the server
    # it starts cannot take the port.
    holder = socket.socket()
    for _ in range(120):
        try:
            holder.bind(("127.0.0.1", 5037))
            return holder
        except OSError:
            time.sleep(1)
    return holder


def follow_devices(staying, coming):
    """`adb track-devices -l` beside the devices that stay, while another comes and goes."""
    adb("start-server")
    with Emulated(*staying):
        tracker = subprocess.Popen(["adb", "track-devices", "-l"], stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE)
        time.sleep(1.0)
        with Emulated(coming):
            time.sleep(0.5)
        time.sleep(1.0)
        tracker.terminate()
        out, err = tracker.communicate()
    return tracker.returncode, out.decode(), err.decode()


def with_adbd(capture):
    """Debian's adbd, the device daemon built for Linux, as a device: only when named, as root."""
    daemon = subprocess.Popen([ADBD], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    adb("start-server")
    time.sleep(3.0)  # the server's scan of the emulator ports
    adb("connect", "127.0.0.1:5555")
    time.sleep(1.0)
    if capture.get("with", {}).get("dropOn"):
        threading.Timer(1.0, daemon.kill).start()
    result = adb(*capture["args"], timeout=40)
    daemon.kill()
    daemon.wait()
    adb("disconnect", "127.0.0.1:5555")
    return result


def run(capture):
    """What the real adb prints for one row of the table, and the device it ran against."""
    profiles = [DEVICES[name] for name in capture.get("devices", [])]
    if "on" in capture:
        profile = dict(DEVICES[capture["on"]], **capture.get("with", {}))
        profiles.append(profile)
        capture["args"] = ["-s", "127.0.0.1:%d" % profile["port"], *capture["args"]]
    server = capture.get("server")
    if capture.get("adbd"):
        return with_adbd(capture)
    if "follow" in capture:
        staying = [DEVICES[name] for name in capture["follow"]["staying"]]
        return follow_devices(staying, DEVICES[capture["follow"]["coming"]])
    if server:
        adb("kill-server")
        stand_in = {"other-version": lambda: FakeServer(version=40), "closes": FakeServer,
                    "held": held_port, "none": lambda: None}[server]()
        result = adb(*capture["args"])
        if stand_in:
            stand_in.close()
        adb("kill-server")
        return result
    with Emulated(*profiles):
        return adb(*capture["args"], timeout=3 if capture.get("hangs") else 20)


def source(capture):
    names = capture.get("devices", []) + ([capture["on"]] if "on" in capture else [])
    what = " and ".join(DEVICES[name]["about"] for name in names)
    if "follow" in capture:
        what = DEVICES[capture["follow"]["coming"]]["about"]
    text = "adb %s" % VERSION
    if capture.get("adbd"):
        return "%s against %s, %s" % (text, DEVICES["adbd"]["about"], capture["about"])
    if what:
        text += " against tests/support/emulated_adbd.py, " + what
    return text + (", " if what else " ") + capture["about"] if "about" in capture else text


def capture_all(wanted):
    for capture in TABLE["captures"]:
        name = capture["name"]
        if (wanted and name not in wanted) or (not wanted and capture.get("adbd")):
            continue
        code, out, err = run(capture)
        result = {"source": source(capture), "command": "adb " + " ".join(capture["args"]),
                  "exitCode": code, "stdout": out, "stderr": err}
        with open(os.path.join(OUT, name + ".json"), "w") as file:
            json.dump(result, file, indent=2, ensure_ascii=False)
            file.write("\n")
        print("%-36s exit %d" % (name, code))


VERSION = adb_version()
if __name__ == "__main__":
    with open("/tmp/BrelvoVRViewer.apk", "wb") as apk:
        apk.write(b"PK stand-in for the viewer\n")
    capture_all(set(sys.argv[1:]))
