#!/usr/bin/python3
"""Reads the export table of every plug-in library with the cross toolchain's objdump and checks
that the host finds each export by its plain name on this architecture: every shipped plug-in
exports the whole contract, every test plug-in exactly the exports its manifest line names
(plus g_bIgnoreModule), and no name carries stdcall decoration ("@8").

usage: check_plugin_exports.py OBJDUMP DIST_DIR TEST_TREE_DIR
"""

import pathlib
import re
import subprocess
import sys

CONTRACT = {
    "DLL_PluginBusProcess", "DLL_PluginAfterLoad", "DLL_PluginBeforeClose", "DLL_GetPluginID",
    "DLL_GetPluginName", "DLL_IsUnicode", "DLL_CanDisable", "DLL_GetDisableState",
    "DLL_SetDisableState", "DLL_ShowConfig", "g_bIgnoreModule",
}
OPTIONAL = {"DLL_IsBetaVersion"}


def exported_names(objdump, path):
    out = subprocess.run([objdump, "-p", str(path)], check=True, capture_output=True, text=True).stdout
    table = out.split("[Ordinal/Name Pointer] Table", 1)
    if len(table) < 2:
        return set()
    names = set()
    for line in table[1].splitlines()[1:]:
        m = re.match(r"\s*\[\s*\d+\]\s+(\S+)", line)
        if not m:
            break
        names.add(m.group(1))
    return names


def main():
    objdump, dist, tree = sys.argv[1], pathlib.Path(sys.argv[2]), pathlib.Path(sys.argv[3])
    faults = []
    checked = 0
    for dll in sorted(dist.glob("Plugin*/Plugin*.[dD][lL][lL]")):
        names = exported_names(objdump, dll)
        checked += 1
        missing = CONTRACT - names
        extra = {n for n in names - CONTRACT - OPTIONAL if n.startswith("DLL_") or "@" in n}
        if missing or extra:
            faults.append(f"{dll}: missing {sorted(missing)}, unexpected {sorted(extra)}")
    for line in (tree / "manifest.txt").read_text().splitlines():
        if not line.strip():
            continue
        rel, _, exports = line.split("|")
        dll = tree / rel.replace("\\", "/")
        wanted = {e for e in exports.split(",") if e} | {"g_bIgnoreModule"}
        names = exported_names(objdump, dll)
        checked += 1
        if names != wanted:
            faults.append(f"{dll}: exports {sorted(names)}, wanted {sorted(wanted)}")
    for f in faults:
        print(f)
    print(f"{checked} plug-in libraries checked, {len(faults)} with wrong exports")
    return 1 if faults or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
