#!/usr/bin/env python3
"""Reads the resources back from the built BrelvoPico.exe and checks them: the icon group in
16, 24, 32, 48 and 256 pixels, the version information, and the manifest (runs as the invoker,
common controls 6, per-monitor DPI awareness, Windows 10 and 11).
    check-exe-resources.py <BrelvoPico.exe> <version>
"""
import sys
import xml.etree.ElementTree as ElementTree

import pefile

exe, version = sys.argv[1], sys.argv[2]
pe = pefile.PE(exe)
problems = []


def resources(kind):
    """The data of each resource of that kind (a pefile.RESOURCE_TYPE value)."""
    found = []
    for entry in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if entry.id != kind:
            continue
        for name in entry.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                found.append(pe.get_data(data.OffsetToData, data.Size))
    return found


# The icon group: a GRPICONDIR, then one 14-byte entry an image; a width of 0 means 256.
groups = resources(pefile.RESOURCE_TYPE["RT_GROUP_ICON"])
if len(groups) != 1:
    problems.append("%d icon groups, not 1" % len(groups))
else:
    count = int.from_bytes(groups[0][4:6], "little")
    sizes = sorted((groups[0][6 + 14 * i] or 256) for i in range(count))
    print("icon sizes:", sizes)
    if sizes != [16, 24, 32, 48, 256]:
        problems.append("icon sizes %s" % sizes)

fixed = pe.VS_FIXEDFILEINFO[0]
file_version = "%d.%d.%d.%d" % (fixed.FileVersionMS >> 16, fixed.FileVersionMS & 0xFFFF,
                                fixed.FileVersionLS >> 16, fixed.FileVersionLS & 0xFFFF)
strings = {}
for info in pe.FileInfo[0]:
    for table in getattr(info, "StringTable", []):
        strings.update({k.decode(): v.decode() for k, v in table.entries.items()})
print("version:", file_version, strings.get("FileVersion"), strings.get("ProductName"))
if file_version != version + ".0" or strings.get("FileVersion") != version \
        or strings.get("ProductVersion") != version:
    problems.append("version %s / %s, not %s" % (file_version, strings.get("FileVersion"), version))

manifests = resources(pefile.RESOURCE_TYPE["RT_MANIFEST"])
if len(manifests) != 1:
    problems.append("%d manifests, not 1" % len(manifests))
else:
    root = ElementTree.fromstring(manifests[0])

    def texts(tag):
        return [element for element in root.iter() if element.tag.endswith("}" + tag)]

    level = [e.get("level") for e in texts("requestedExecutionLevel")]
    controls = [e.get("version") for e in texts("assemblyIdentity")
                if e.get("name") == "Microsoft.Windows.Common-Controls"]
    awareness = [e.text for e in texts("dpiAwareness")] + [e.text for e in texts("dpiAware")]
    systems = [e.get("Id") for e in texts("supportedOS")]
    print("manifest:", level, controls, awareness, systems)
    if level != ["asInvoker"]:
        problems.append("execution level %s" % level)
    if controls != ["6.0.0.0"]:
        problems.append("common controls %s" % controls)
    if "PerMonitorV2" not in awareness:
        problems.append("DPI awareness %s" % awareness)
    if "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" not in systems:
        problems.append("supported systems %s (Windows 10 and 11 missing)" % systems)

for problem in problems:
    print("check-exe-resources:", problem)
sys.exit(1 if problems else 0)
