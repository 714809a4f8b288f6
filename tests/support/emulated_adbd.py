#!/usr/bin/env python3
"""An Android device's adb daemon (adbd), emulated over TCP, so that the real adb client and
server can be run against headsets of every kind and their answers captured (capture.py).

It speaks adb's transport protocol (CNXN, AUTH, OPEN, OKAY, WRTE, CLSE); the shell protocol v2
when the device advertises "shell_v2", and the old shell when it does not (stderr merged into
stdout, exit code always 0, as on older firmware); a terminal's merged CR LF output when the
client asks for one; "exec:" and "abb_exec:" for streamed installs when it advertises "cmd";
and enough of the sync protocol for the legacy push-then-pm install. A device that is not
authorized asks for a key and never accepts one; a silent device never answers the handshake.

The device is described by a JSON object (see DEFAULT_DEVICE) given as the first argument, and
listens on 127.0.0.1:<port> (port 0: one the system picks); it prints "ready <port>" once it
listens. Connect the server to it with `adb connect 127.0.0.1:<port>`. An install that succeeds
adds the package and records the APK's size as /data/app/<package>/base.apk; "installMs" makes
the host wait that long before each packet of the APK it sends, and "dropDuringInstall" makes the
device vanish in the middle of one; "dropOn" makes it vanish, without a word, when a command that
holds this text starts (an unplugged cable during a query or an uninstall). Started by a test: "readyFile" names a file that receives
the port once it listens, and "leaseFile" one whose removal ends the device (a program under
Wine can neither read a pipe from this machine's programs nor stop them), and "eventsFile" one
that it adds a line to when an install's stream ends: "install received" or "install stream
closed".
"""
import json
import os
import queue
import shlex
import socket
import struct
import sys
import threading
import time

A_CNXN, A_AUTH, A_OPEN = 0x4E584E43, 0x48545541, 0x4E45504F
A_OKAY, A_CLSE, A_WRTE = 0x59414B4F, 0x45534C43, 0x45545257
A_VERSION = 0x01000001
MAX_PAYLOAD = 256 * 1024

DEFAULT_DEVICE = {
    "port": 6101,
    "product": "A8150",
    "model": "Pico 4",
    "device": "PICOA8150",
    "features": ["shell_v2", "cmd", "stat_v2", "ls_v2", "fixed_push_mkdir", "apex", "abb",
                 "fixed_push_symlink_timestamp", "abb_exec", "remount_shell", "track_app"],
    "authorized": True,
    "properties": {},
    "env": {"EXTERNAL_STORAGE": "/storage/emulated/0"},
    "files": {},
    "packages": [],
    "installResult": "Success",
    "uninstallResult": None,
    "installMs": 0,  # per packet of the APK
    "dropDuringInstall": False,
    "dropOn": None,  # e.g. "pm list packages"
    "readyFile": None,
    "leaseFile": None,
    "eventsFile": None,
}
PACKAGE = "com.Brelvo.BrelvoVRViewer"


def packet(command, arg0, arg1, data=b""):
    return struct.pack("<6I", command, arg0, arg1, len(data), sum(data) & 0xFFFFFFFF,
                       command ^ 0xFFFFFFFF) + data


class Stream:
    """One service the host opened: its incoming bytes, and the host's OKAY after each write."""

    def __init__(self, link, local_id, remote_id):
        self.link, self.local_id, self.remote_id = link, local_id, remote_id
        self.incoming = queue.Queue()
        self.buffer = b""
        self.acked = threading.Event()
        self.slow = False  # an install's stream, acknowledged with the device's delay

    def read(self, count):
        while len(self.buffer) < count:
            data = self.incoming.get()
            if data is None:
                raise EOFError
            self.buffer += data
        result, self.buffer = self.buffer[:count], self.buffer[count:]
        return result

    def write(self, data):
        for start in range(0, len(data), MAX_PAYLOAD):
            self.acked.clear()
            self.link.send(packet(A_WRTE, self.local_id, self.remote_id,
                                  data[start:start + MAX_PAYLOAD]))
            self.acked.wait(10)

    def close(self):
        self.link.send(packet(A_CLSE, self.local_id, self.remote_id))


class Device:
    def __init__(self, profile):
        self.profile = dict(DEFAULT_DEVICE)
        self.profile.update(profile)
        self.lock = threading.Lock()
        self.gone = False

    # ---- the device's shell ----------------------------------------------------------------
    def shell(self, line):
        """Runs one shell command line; returns (stdout, stderr, exit code)."""
        profile = self.profile
        for name, value in profile["env"].items():
            line = line.replace("$" + name, value)
        # Redirections are the shell's business, not the command's.
        argv = [word for word in shlex.split(line) if not word.startswith(("<", ">"))]
        if not argv:
            return b"", b"", 0
        out, err, code = b"", b"", 0
        command = argv[0]
        if command == "getprop":
            out = (profile["properties"].get(argv[1], "") + "\n").encode()
        elif command == "echo":
            out = (" ".join(argv[1:]) + "\n").encode()
        elif command == "pm" and argv[1:3] == ["list", "packages"]:
            for package in profile["packages"]:
                if len(argv) < 4 or argv[3] in package:
                    out += ("package:" + package + "\n").encode()
        elif command == "cat":
            for path in argv[1:]:
                if path in profile["files"]:
                    out += profile["files"][path].encode()
                else:
                    err += ("cat: %s: No such file or directory\n" % path).encode()
                    code = 1
        elif command == "ls":
            for path in argv[1:]:
                if path in profile["files"]:
                    out += (path + "\n").encode()
                else:
                    err += ("ls: %s: No such file or directory\n" % path).encode()
                    code = 1
        elif command == "rm":
            for path in argv[1:]:
                if path.startswith("-"):
                    continue
                if profile["files"].pop(path, None) is None and "-f" not in argv:
                    err += ("rm: %s: No such file or directory\n" % path).encode()
                    code = 1
        elif command in ("pm", "cmd") and "install" in argv:
            pushed = profile["files"].get(argv[-1], "")
            out, code = self.install_result(int(pushed.split()[1]) if pushed else 0)
        elif command in ("pm", "cmd") and "uninstall" in argv:
            out, code = self.uninstall_result(argv[-1])
        else:
            err = ("/system/bin/sh: %s: inaccessible or not found\n" % command).encode()
            code = 127
        return out, err, code

    def install_result(self, size):
        result = self.profile["installResult"]
        if result == "Success":
            if PACKAGE not in self.profile["packages"]:
                self.profile["packages"].append(PACKAGE)
            self.profile["files"]["/data/app/%s/base.apk" % PACKAGE] = "%d bytes" % size
            return b"Success\n", 0
        return ("Failure [%s]\n" % result).encode(), 1

    def uninstall_result(self, package):
        result = self.profile["uninstallResult"]
        if result is None:
            result = "Success" if package in self.profile["packages"] else \
                "DELETE_FAILED_INTERNAL_ERROR"
        if result == "Success":
            self.profile["packages"].remove(package)
            return b"Success\n", 0
        return ("Failure [%s]\n" % result).encode(), 1

    # ---- services --------------------------------------------------------------------------
    def serve(self, stream, service):
        sys.stderr.write("adbd %d: open %r\n" % (self.profile["port"], service))
        name, _, command = service.partition(":")
        options = name.split(",")
        if self.profile["dropOn"] and self.profile["dropOn"] in command.replace("\0", " "):
            self.vanish(stream)
            return
        if options[0] == "shell":
            out, err, code = self.shell(command)
            if "v2" in options and "raw" not in options:
                # A terminal: one stream, with the terminal's CR LF line ends.
                out = (out + err).replace(b"\n", b"\r\n")
                err = b""
            if "v2" in options:
                data = b""
                if out:
                    data += struct.pack("<BI", 1, len(out)) + out
                if err:
                    data += struct.pack("<BI", 2, len(err)) + err
                data += struct.pack("<BIB", 3, 1, code)
                stream.write(data)
            else:
                # The old shell has one stream and no exit code.
                stream.write(out + err)
        elif name in ("exec", "abb_exec"):
            argv = command.split("\0") if name == "abb_exec" else shlex.split(command)
            if "install" in argv:
                size = int(argv[argv.index("-S") + 1])
                if self.profile["dropDuringInstall"]:
                    stream.read(1)
                    self.vanish(stream)
                    return
                stream.slow = True
                try:
                    stream.read(size)
                except EOFError:  # the host gave up: nothing is installed
                    self.tell("install stream closed")
                    return
                out, _ = self.install_result(size)
                self.tell("install received")
            else:
                out, _, _ = self.shell(" ".join(argv))
            stream.write(out)
        elif name == "sync":
            self.sync(stream)
        else:
            sys.stderr.write("adbd: unknown service %r\n" % service)
        stream.close()

    def tell(self, event):
        """Writes what happened to the events file, for a test that waits for it."""
        if self.profile["eventsFile"]:
            with open(self.profile["eventsFile"], "a") as events:
                events.write(event + "\n")

    def vanish(self, stream):
        self.gone = True  # unplugged: no connection from now on
        stream.link.sock.shutdown(socket.SHUT_RDWR)

    def sync(self, stream):
        while True:
            try:
                request, length = struct.unpack("<4sI", stream.read(8))
            except EOFError:
                return
            if request == b"QUIT":
                return
            if request in (b"STAT", b"LSTA"):
                stream.read(length)
                stream.write(b"STAT" + struct.pack("<3I", 0, 0, 0))
            elif request == b"SEND":
                path = stream.read(length).decode().rpartition(",")[0]
                content = b""
                while True:
                    chunk, size = struct.unpack("<4sI", stream.read(8))
                    if chunk == b"DONE":
                        break
                    content += stream.read(size)
                self.profile["files"][path] = "pushed %d bytes" % len(content)
                stream.write(b"OKAY" + struct.pack("<I", 0))
            else:
                stream.write(b"FAIL" + struct.pack("<I", 11) + b"unsupported")
                return


class Link:
    """One connection from the adb server."""

    def __init__(self, device, sock):
        self.device, self.sock = device, sock
        self.send_lock = threading.Lock()
        self.streams = {}
        self.next_id = 1

    def send(self, data):
        with self.send_lock:
            self.sock.sendall(data)

    def receive(self):
        header = self.read_exactly(24)
        command, arg0, arg1, length, _, _ = struct.unpack("<6I", header)
        return command, arg0, arg1, self.read_exactly(length)

    def read_exactly(self, count):
        data = b""
        while len(data) < count:
            chunk = self.sock.recv(count - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def run(self):
        profile = self.device.profile
        try:
            while True:
                command, arg0, arg1, data = self.receive()
                if command == A_CNXN:
                    if profile["authorized"] == "silent":
                        continue
                    if profile["authorized"]:
                        self.connected()
                    else:
                        self.send(packet(A_AUTH, 1, 0, os.urandom(20)))
                elif command == A_AUTH:
                    if arg0 == 2:  # a signature: not accepted, ask again
                        self.send(packet(A_AUTH, 1, 0, os.urandom(20)))
                    # a public key (3): the user is asked on the headset and never answers
                elif command == A_OPEN:
                    local_id = self.next_id
                    self.next_id += 1
                    stream = Stream(self, local_id, arg0)
                    self.streams[local_id] = stream
                    self.send(packet(A_OKAY, local_id, arg0))
                    service = data.rstrip(b"\0").decode()
                    threading.Thread(target=self.device.serve, args=(stream, service),
                                     daemon=True).start()
                elif command == A_WRTE:
                    stream = self.streams.get(arg1)
                    if stream and stream.slow:
                        time.sleep(profile["installMs"] / 1000)
                    self.send(packet(A_OKAY, arg1, arg0))
                    if stream:
                        stream.incoming.put(data)
                elif command == A_OKAY:
                    if arg1 in self.streams:
                        self.streams[arg1].acked.set()
                elif command == A_CLSE:
                    stream = self.streams.pop(arg1, None)
                    if stream:
                        stream.incoming.put(None)
                        stream.acked.set()
        except (EOFError, ConnectionError):
            pass
        finally:
            self.sock.close()

    def connected(self):
        profile = self.device.profile
        banner = "device::ro.product.name=%s;ro.product.model=%s;ro.product.device=%s;" \
                 "features=%s" % (profile["product"], profile["model"], profile["device"],
                                  ",".join(profile["features"]))
        self.send(packet(A_CNXN, A_VERSION, MAX_PAYLOAD, banner.encode()))


def main():
    profile = json.loads(sys.argv[1]) if len(sys.argv) > 1 else {}
    device = Device(profile)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", device.profile["port"]))
    listener.listen(4)
    device.profile["port"] = listener.getsockname()[1]
    lease = device.profile["leaseFile"]
    if lease:
        def watch():
            while os.path.exists(lease):
                time.sleep(0.2)
            os._exit(0)
        threading.Thread(target=watch, daemon=True).start()
    ready = device.profile["readyFile"]
    if ready:
        with open(ready + ".part", "w") as file:
            file.write(str(device.profile["port"]))
        os.rename(ready + ".part", ready)
    print("ready %d" % device.profile["port"], flush=True)
    while True:
        sock, _ = listener.accept()
        if device.gone:
            sock.close()
            continue
        threading.Thread(target=Link(device, sock).run, daemon=True).start()


if __name__ == "__main__":
    main()
