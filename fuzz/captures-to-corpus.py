#!/usr/bin/env python3
"""Seeds the fuzz corpora with the real adb answers kept for the tests (tests/data/adb/): each
target gets the outputs of the commands whose text it reads.
    fuzz/captures-to-corpus.py <captures folder> <corpus folder>
"""
import json
import os
import sys

captures, corpus = sys.argv[1], sys.argv[2]
# Which captures each target reads, by the start of their names.
TARGETS = {"devicelisting": ("devices-",), "version": ("getprop-",), "manifest": ("cat-",),
           "storagepath": ("echo-",), "logline": ("",),
           "adbanswers": ("install-", "uninstall-", "pm-", "ls-")}
count = 0
# The captures of each client: those of the first one here, others' in folders beside them.
found = [(name, os.path.join(captures, name), "") for name in sorted(os.listdir(captures))]
for client in sorted(os.listdir(captures)):
    if os.path.isdir(os.path.join(captures, client)):
        found += [(name, os.path.join(captures, client, name), client + "-")
                  for name in sorted(os.listdir(os.path.join(captures, client)))]
for name, path, prefix in found:
    # captures.json is the table that holds the fake adb to the captures, not a capture.
    if not name.endswith(".json") or name == "captures.json":
        continue
    with open(path, encoding="utf-8") as file:
        capture = json.load(file)
    if "failures" in capture:
        # The failure texts of users' reports: for the verdict, as adb's error stream.
        folder = os.path.join(corpus, "adbanswers")
        os.makedirs(folder, exist_ok=True)
        for number, failure in enumerate(capture["failures"]):
            with open(os.path.join(folder, "failure-%02d" % number), "wb") as seed:
                seed.write(b"\x01\0" + failure["text"].encode("utf-8"))
            count += 1
        continue
    for target, prefixes in TARGETS.items():
        if not name.startswith(prefixes):
            continue
        folder = os.path.join(corpus, target)
        os.makedirs(folder, exist_ok=True)
        if target == "adbanswers":
            # The exit code's byte, standard output, a NUL, the error stream.
            seed = bytes([capture["exitCode"] % 256]) + capture["stdout"].encode("utf-8") \
                + b"\0" + capture["stderr"].encode("utf-8")
            with open(os.path.join(folder, prefix + name[:-5]), "wb") as file:
                file.write(seed)
            count += 1
            continue
        for stream in ("stdout", "stderr"):
            text = capture[stream].encode("utf-8")
            if target in ("version", "storagepath"):
                text = text.strip()
            if text:
                with open(os.path.join(folder, "%s%s.%s" % (prefix, name[:-5], stream)),
                          "wb") as seed:
                    seed.write(text)
                count += 1
print("fuzz: %d seeds from %s" % (count, captures))
