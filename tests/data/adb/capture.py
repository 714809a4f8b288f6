#!/usr/bin/env python3
"""Captures what the real adb client prints, for the tests' fixtures in this folder.

Runs the adb found on PATH (its own server on the default port 5037, so stop any other adb
server first) against headsets emulated by emulated_adbd.py, and writes one JSON file a
capture: where it came from, the command, the exit code and both output streams, byte for byte.

    tests/data/adb/capture.py            # all captures
    tests/data/adb/capture.py NAME...    # only these

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
APK = os.path.join("/tmp", "BrelvoVRViewer.apk")
PACKAGE = "com.Brelvo.BrelvoVRViewer"
MANIFEST = "/vendor/etc/openxr/1/active_runtime.json"
RUNTIME = "libopenxr_forwardloader.so"

PICO4 = {"port": 6101, "product": "A8150", "model": "Pico 4", "device": "PICOA8150",
         "properties": {"ro.product.model": "Pico 4", "ro.pico.systemversion": "5.7.1",
                        "ro.build.version.incremental": "831"},
         "files": {MANIFEST: '{\n  "file_format_version": "1.0.0",\n  "runtime": {\n'
                             '    "library_path": "libopenxr_forwardloader.so"\n  }\n}\n',
                   "/system/lib64/" + RUNTIME: "ELF"},
         "packages": ["com.android.settings", PACKAGE]}
NEO2 = {"port": 6103, "product": "PicoNeo2", "model": "Pico Neo 2", "device": "PicoNeo2",
        "properties": {"ro.product.model": "Pico Neo 2"}}
# Older firmware: no shell protocol and no "cmd", so installs are pushed and run through pm.
G2 = {"port": 6105, "product": "G2", "model": "Pico G2 4K", "device": "PICOG2", "features": [],
      "properties": {"ro.product.model": "Pico G2 4K", "ro.pvr.internal.systemversion": "4.8.19"},
      "packages": []}
PHONE = {"port": 6107, "product": "panther", "model": "Pixel 7", "device": "panther",
         "packages": [PACKAGE + ".beta"]}
UNAUTHORIZED = {"port": 6109, "authorized": False}
OFFLINE = {"port": 6111, "authorized": "silent"}

EMULATED = "adb {adb} against tests/support/emulated_adbd.py, {what}"
DEVICES = {
    6101: "an emulated Pico 4 (PICO OS 5.7.1, Android 10 adbd: shell protocol v2, cmd, "
          "abb_exec) over TCP",
    6103: "an emulated Pico Neo 2 over TCP",
    6105: "an emulated Pico G2 4K with older firmware (adbd without the shell protocol and "
          "without cmd) over TCP",
    6107: "an emulated phone (Pixel 7) over TCP",
    6109: "an emulated headset that has not allowed USB debugging over TCP",
    6111: "an emulated headset that never answers the handshake (offline) over TCP",
}


def adb_version():
    out = subprocess.run(["adb", "version"], capture_output=True, text=True).stdout.splitlines()
    system = os.environ.get("BRELVO_CAPTURE_SYSTEM", sys.platform)
    return "%s (%s, %s)" % (out[0].split()[-1], out[1].replace("Version ", ""), system)


def adb(*args, timeout=20):
    # Into files, read once adb has ended: under Wine a server that the command starts keeps
    # the command's error stream open, so a pipe would not end with the command.
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        code = subprocess.run(["adb", *args], stdout=out, stderr=err, timeout=timeout).returncode
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


def serial(profile):
    return "127.0.0.1:%d" % profile["port"]


def save(name, source, args, result):
    code, out, err = result
    capture = {"source": source, "command": "adb " + " ".join(args), "exitCode": code,
               "stdout": out, "stderr": err}
    with open(os.path.join(OUT, name + ".json"), "w") as file:
        json.dump(capture, file, indent=2, ensure_ascii=False)
        file.write("\n")
    print("%-36s exit %d" % (name, code))


def on(name, profile, *args, devices=None):
    """Runs adb with these arguments while the emulated devices are attached, and saves it."""
    with Emulated(*(devices or [profile])):
        full = ["-s", serial(profile), *args] if profile else list(args)
        result = adb(*full)
    what = " and ".join(DEVICES[d["port"]] for d in (devices or [profile]))
    save(name, EMULATED.format(adb=VERSION, what=what), full, result)


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


ADBD = "/usr/lib/android-sdk/platform-tools/adbd"


def capture_real_adbd(want):
    """Debian's adbd, the device daemon built for Linux, as a device: only when named, as root."""
    version = subprocess.run(["dpkg-query", "-W", "-f", "${Version}", "adbd"],
                             capture_output=True, text=True).stdout
    source = ("adb %s against Debian's adbd %s (the device daemon built for Linux, listening on "
              "port 5555), run as root" % (VERSION, version))
    daemon = subprocess.Popen([ADBD], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(1.0)
    adb("start-server")
    time.sleep(3.0)  # the server's scan of the emulator ports
    adb("connect", "127.0.0.1:5555")
    time.sleep(1.0)
    if want("devices-adbd-connected"):
        # The server also finds the daemon by itself, as an emulator on the port below it.
        save("devices-adbd-connected", source + ", after `adb connect 127.0.0.1:5555`",
             ["devices", "-l"], adb("devices", "-l"))
    if want("shell-adbd-link-dropped"):
        threading.Timer(1.0, daemon.kill).start()
        args = ["-s", "127.0.0.1:5555", "shell", "sleep", "30"]
        save("shell-adbd-link-dropped", source + "; adbd killed a second into the command",
             args, adb(*args, timeout=40))
    daemon.kill()
    daemon.wait()
    adb("disconnect", "127.0.0.1:5555")


def capture_all(wanted):
    def want(name):
        return not wanted or name in wanted

    adb("kill-server")
    if want("devices-none-server-starts"):
        # The first command starts the server and says so on the error stream.
        save("devices-none-server-starts", "adb %s with no device attached, its server not "
             "running yet" % VERSION, ["devices", "-l"], adb("devices", "-l"))
    if want("devices-none"):
        save("devices-none", "adb %s with no device attached" % VERSION, ["devices", "-l"],
             adb("devices", "-l"))
    if want("devices-pico4"):
        on("devices-pico4", None, "devices", "-l", devices=[PICO4])
    if want("devices-neo2"):
        on("devices-neo2", None, "devices", "-l", devices=[NEO2])
    if want("devices-unauthorized"):
        on("devices-unauthorized", None, "devices", "-l", devices=[UNAUTHORIZED])
    if want("devices-offline"):
        on("devices-offline", None, "devices", "-l", devices=[OFFLINE])
    if want("devices-phone-and-pico4"):
        on("devices-phone-and-pico4", None, "devices", "-l", devices=[PHONE, PICO4])
    if want("devices-pico4-and-neo2"):
        on("devices-pico4-and-neo2", None, "devices", "-l", devices=[PICO4, NEO2])

    queries = [
        ("getprop-model", PICO4, ["shell", "getprop", "ro.product.model"]),
        ("getprop-version", PICO4, ["shell", "getprop", "ro.pico.systemversion"]),
        ("getprop-unset", PICO4, ["shell", "getprop", "ro.pvr.internal.systemversion"]),
        ("echo-storage", PICO4, ["shell", "echo $EXTERNAL_STORAGE"]),
        ("pm-list-installed", PICO4, ["shell", "pm", "list", "packages", PACKAGE]),
        ("pm-list-none", NEO2, ["shell", "pm", "list", "packages", PACKAGE]),
        ("pm-list-beta-only", PHONE, ["shell", "pm", "list", "packages", PACKAGE]),
        ("cat-manifest", PICO4, ["shell", "cat", MANIFEST]),
        ("cat-manifest-missing", NEO2, ["shell", "cat", MANIFEST]),
        ("ls-runtime-found", PICO4,
         ["shell", "ls", "/system/lib64/" + RUNTIME, "/vendor/lib64/" + RUNTIME]),
        ("ls-runtime-missing", NEO2,
         ["shell", "ls", "/system/lib64/" + RUNTIME, "/vendor/lib64/" + RUNTIME]),
        ("ls-runtime-missing-old-shell", G2,
         ["shell", "ls", "/system/lib64/" + RUNTIME, "/vendor/lib64/" + RUNTIME]),
        ("install-success", PICO4, ["install", "-r", APK]),
        ("install-success-old-firmware", G2, ["install", "-r", APK]),
        ("install-missing-apk", PICO4, ["install", "-r", "/tmp/missing/BrelvoVRViewer.apk"]),
        ("install-not-an-apk", PICO4, ["install", "-r", "/tmp/BrelvoVRViewer.zip"]),
        ("uninstall-success", PICO4, ["uninstall", PACKAGE]),
        ("uninstall-not-installed", NEO2, ["uninstall", PACKAGE]),
        ("uninstall-not-installed-old-firmware", G2, ["uninstall", PACKAGE]),
        ("shell-unauthorized", UNAUTHORIZED, ["shell", "getprop", "ro.product.model"]),
        ("shell-offline", OFFLINE, ["shell", "getprop", "ro.product.model"]),
    ]
    for name, profile, args in queries:
        if want(name):
            on(name, profile, *args)
    failing = [("install-failure", dict(PICO4, installResult="INSTALL_FAILED_INSUFFICIENT_STORAGE")),
               ("install-failure-old-firmware",
                dict(G2, installResult="INSTALL_FAILED_INSUFFICIENT_STORAGE")),
               ("uninstall-refused", dict(PICO4, uninstallResult="DELETE_FAILED_DEVICE_POLICY_MANAGER"))]
    for name, profile in failing:
        if want(name):
            args = ["install", "-r", APK] if name.startswith("install") else ["uninstall", PACKAGE]
            on(name, profile, *args)

    # The cable pulled as the command starts: the device closes its connection without a word.
    dropped = [("shell-link-dropped", dict(PICO4, dropOn="pm list packages"),
                ["shell", "pm", "list", "packages", PACKAGE]),
               ("uninstall-link-dropped", dict(PICO4, dropOn="uninstall"), ["uninstall", PACKAGE])]
    for name, profile, args in dropped:
        if want(name):
            with Emulated(profile):
                full = ["-s", serial(profile), *args]
                result = adb(*full)
            save(name, EMULATED.format(adb=VERSION, what=DEVICES[profile["port"]])
                 + ", which vanishes as the command starts", full, result)
    if wanted & {"devices-adbd-connected", "shell-adbd-link-dropped"}:
        capture_real_adbd(want)

    if want("shell-device-not-found"):
        with Emulated(PICO4):
            save("shell-device-not-found", EMULATED.format(adb=VERSION, what=DEVICES[6101]),
                 ["-s", "PA7L10MGH8", "shell", "getprop", "ro.product.model"],
                 adb("-s", "PA7L10MGH8", "shell", "getprop", "ro.product.model"))
    if want("shell-more-than-one"):
        on("shell-more-than-one", None, "shell", "getprop", "ro.product.model",
           devices=[PHONE, PICO4])
    if want("shell-no-devices"):
        save("shell-no-devices", "adb %s with no device attached" % VERSION,
             ["shell", "getprop", "ro.product.model"],
             adb("shell", "getprop", "ro.product.model"))

    if want("track-devices-plug-in-and-out"):
        # adb writes a listing at once, then one whenever a device comes, goes or changes.
        save("track-devices-plug-in-and-out", EMULATED.format(adb=VERSION, what=DEVICES[6101])
             + ", connected while adb follows the devices, then disconnected; adb stopped "
             "by the capture", ["track-devices", "-l"], follow_devices([], PICO4))
    if want("track-devices-second-device"):
        # The headset stays; a phone comes beside it and goes again.
        save("track-devices-second-device", EMULATED.format(adb=VERSION, what=DEVICES[6101])
             + ", while adb follows the devices: " + DEVICES[6107] + " connected beside it, "
             "then disconnected; adb stopped by the capture", ["track-devices", "-l"],
             follow_devices([PICO4], PHONE))
    if want("devices-server-version-mismatch"):
        adb("kill-server")
        server = FakeServer(version=40)
        save("devices-server-version-mismatch",
             "adb %s with no device attached, while an adb server of version 40 (another "
             "program's adb) runs on port 5037; here a stand-in answers as that server"
             % VERSION, ["devices", "-l"], adb("devices", "-l"))
        server.close()
    if want("devices-port-taken"):
        adb("kill-server")
        server = FakeServer()
        save("devices-port-taken", "adb %s while another program holds port 5037 and closes "
             "every connection" % VERSION, ["devices", "-l"], adb("devices", "-l"))
        server.close()
        adb("kill-server")
    if want("devices-daemon-cannot-start"):
        # A socket bound to the port but not listening: the client cannot connect, and the
        # server it starts cannot take the port.
        holder = socket.socket()
        for _ in range(120):
            try:
                holder.bind(("127.0.0.1", 5037))
                break
            except OSError:
                time.sleep(1)
        save("devices-daemon-cannot-start", "adb %s while another program holds port 5037 "
             "without answering" % VERSION, ["devices", "-l"], adb("devices", "-l"))
        holder.close()


VERSION = adb_version()
if __name__ == "__main__":
    with open(APK, "wb") as apk:
        apk.write(b"PK stand-in for the viewer\n")
    capture_all(set(sys.argv[1:]))
