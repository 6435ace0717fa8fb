#!/usr/bin/env python3
"""The installed tree's program files carry no debug information, and each code file's debug
information is kept in the symbols folder, named by the file's debug link with the right CRC.
The host program does not import the libraries it loads only on demand: each one Wine maps and
starts at every start of the host (the common dialogs bring the printing stack with them).
The code files' sections are page-aligned in the file, so that a loader can map them from the
file instead of reading them into private memory.

usage: check_shipped_files.py <objdump> <objcopy> <dist folder> <symbols folder>
"""
import os
import subprocess
import sys
import tempfile
import zlib

# Libraries the host loads when it first needs them, never at its start.
ON_DEMAND = ["comdlg32.dll", "oleaut32.dll"]

# The files built from code (the language libraries hold resources only).
CODE_FILES = ["OrvixTelvane.exe", "PluginTelephony/PluginTelephonyOrkane.DLL", "PluginInfo/PluginInfoVisette.DLL"]


def sections(objdump, path):
    out = subprocess.run([objdump, "-h", path], check=True, capture_output=True, text=True).stdout
    names = []
    for line in out.splitlines():
        parts = line.split()
        if len(parts) >= 2 and parts[0].isdigit():
            names.append(parts[1])
    return names


def misaligned_sections(path):
    """The sections whose data does not start on a 4 KiB boundary of the file, read from the PE
    headers themselves (FileAlignment and each section's PointerToRawData)."""
    data = open(path, "rb").read()
    pe = int.from_bytes(data[0x3C:0x40], "little")
    if data[pe:pe + 4] != b"PE\0\0":
        return ["(no PE header)"]
    count = int.from_bytes(data[pe + 6:pe + 8], "little")
    optional_size = int.from_bytes(data[pe + 20:pe + 22], "little")
    optional = pe + 24
    # FileAlignment lies at the same place in PE32 and PE32+ optional headers.
    bad = []
    file_alignment = int.from_bytes(data[optional + 36:optional + 40], "little")
    if file_alignment % 4096:
        bad.append(f"FileAlignment 0x{file_alignment:X}")
    table = optional + optional_size
    for i in range(count):
        header = data[table + 40 * i:table + 40 * (i + 1)]
        name = header[:8].rstrip(b"\0").decode(errors="replace")
        raw_size = int.from_bytes(header[16:20], "little")
        raw_pointer = int.from_bytes(header[20:24], "little")
        if raw_size and raw_pointer % 4096:
            bad.append(f"{name} at 0x{raw_pointer:X}")
    return bad


def imports(objdump, path):
    out = subprocess.run([objdump, "-p", path], check=True, capture_output=True, text=True).stdout
    return [line.split(":", 1)[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line]


def main():
    objdump, objcopy, dist, symbols = sys.argv[1:5]
    failures = []
    shipped = []
    for root, _, files in os.walk(dist):
        for name in files:
            if name.lower().endswith((".exe", ".dll")):
                shipped.append(os.path.join(root, name))
    if not shipped:
        failures.append("no program files in " + dist)
    for path in shipped:
        debug = [s for s in sections(objdump, path) if s.startswith(".debug")]
        if debug:
            failures.append(f"{os.path.relpath(path, dist)} carries debug sections {debug}")
    for rel in CODE_FILES:
        path = os.path.join(dist, rel)
        kept = os.path.join(symbols, os.path.basename(rel) + ".debug")
        if not os.path.exists(path):
            failures.append(f"{rel} is missing")
            continue
        misaligned = misaligned_sections(path)
        if misaligned:
            failures.append(f"{rel}: not page-aligned in the file: {', '.join(misaligned)}")
        if not os.path.exists(kept) or ".debug_info" not in sections(objdump, kept):
            failures.append(f"{rel}: no debug information kept in {kept}")
            continue
        if ".gnu_debuglink" not in sections(objdump, path):
            failures.append(f"{rel} has no debug link")
            continue
        with tempfile.TemporaryDirectory() as tmp:
            link = os.path.join(tmp, "link")
            subprocess.run([objcopy, "--dump-section", f".gnu_debuglink={link}", path, os.path.join(tmp, "copy")],
                           check=True, capture_output=True)
            data = open(link, "rb").read()
        name = data[:data.index(b"\0")].decode()
        crc = int.from_bytes(data[-4:], "little")
        with open(kept, "rb") as f:
            actual = zlib.crc32(f.read()) & 0xFFFFFFFF
        if name != os.path.basename(kept):
            failures.append(f"{rel}: debug link names {name!r}, not {os.path.basename(kept)!r}")
        if crc != actual:
            failures.append(f"{rel}: debug link CRC {crc:08X}, the kept file's is {actual:08X}")
    host = os.path.join(dist, "OrvixTelvane.exe")
    if os.path.exists(host):
        for name in set(imports(objdump, host)) & set(ON_DEMAND):
            failures.append(f"OrvixTelvane.exe imports {name}, which it loads only when it needs it")
    for f in failures:
        print("FAIL:", f)
    print(f"checked {len(shipped)} program files")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
