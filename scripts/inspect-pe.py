#!/usr/bin/env python3
"""Checks a built velto.exe: its machine, the GUI subsystem, the application manifest
(RT_MANIFEST 1, asking for common controls 6) and that it imports only DLLs every Windows has.

usage: inspect-pe.py EXE --machine i386|x86_64
Prints what it found; exit status 1 when a check fails.
"""
import argparse
import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "x86_64"}
SUBSYSTEM_GUI = 2
RT_MANIFEST = 24
# With -static only the system's own DLLs may be left; a mingw runtime DLL would not be found.
SYSTEM_DLLS = {
    "kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll", "wsock32.dll",
    "ws2_32.dll", "ole32.dll", "oleaut32.dll", "shell32.dll", "shlwapi.dll", "advapi32.dll",
    "msvcrt.dll", "ucrtbase.dll", "uxtheme.dll", "version.dll",
}


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ executable")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.pe32_plus = magic == 0x20B
        self.subsystem = struct.unpack_from("<H", data, optional + 68)[0]
        directories = optional + (112 if self.pe32_plus else 96)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            _, vsize, vaddr, rsize, raw = struct.unpack_from("<8sIIII", data, table + 40 * i)
            self.sections.append((vaddr, max(vsize, rsize), raw))

    def offset(self, rva):
        for vaddr, size, raw in self.sections:
            if vaddr <= rva < vaddr + size:
                return rva - vaddr + raw
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii", "replace")

    def imports(self):
        rva, _ = self.directories[1]
        names = []
        at = self.offset(rva) if rva else None
        while at is not None:
            fields = struct.unpack_from("<IIIII", self.data, at)
            if not any(fields):
                break
            names.append(self.cstring(fields[3]))
            at += 20
        return names

    def resource(self, type_id, name_id):
        """The bytes of resource (type_id, name_id) in its first language, or None."""
        base_rva, _ = self.directories[2]
        if not base_rva:
            return None
        base = self.offset(base_rva)

        def entries(directory):
            named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
            for i in range(named + numbered):
                ident, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
                yield ident, target

        def find(directory, wanted):
            for ident, target in entries(directory):
                if not ident & 0x80000000 and ident == wanted and target & 0x80000000:
                    return base + (target & 0x7FFFFFFF)
            return None

        by_type = find(base, type_id)
        by_name = find(by_type, name_id) if by_type is not None else None
        if by_name is None:
            return None
        for _, target in entries(by_name):
            rva, size = struct.unpack_from("<II", self.data, base + (target & 0x7FFFFFFF))
            start = self.offset(rva)
            return self.data[start:start + size]
        return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--machine", choices=sorted(MACHINES.values()), required=True)
    args = parser.parse_args()

    with open(args.exe, "rb") as f:
        pe = Pe(f.read())
    problems = []
    machine = MACHINES.get(pe.machine, hex(pe.machine))
    if machine != args.machine or pe.pe32_plus != (args.machine == "x86_64"):
        problems.append(f"machine {machine} (PE32{'+' if pe.pe32_plus else ''}), "
                        f"expected {args.machine}")
    if pe.subsystem != SUBSYSTEM_GUI:
        problems.append(f"subsystem {pe.subsystem}, expected {SUBSYSTEM_GUI} (GUI)")
    manifest = pe.resource(RT_MANIFEST, 1)
    if manifest is None:
        problems.append("no manifest resource (RT_MANIFEST 1)")
    else:
        for needed in (b"assemblyIdentity", b"Microsoft.Windows.Common-Controls", b"6.0.0.0"):
            if needed not in manifest:
                problems.append(f"the manifest lacks {needed.decode()}")
    imports = pe.imports()
    foreign = [name for name in imports if name.lower() not in SYSTEM_DLLS
               and not name.lower().startswith("api-ms-win-")]
    if foreign:
        problems.append("imports non-system DLLs: " + ", ".join(foreign))

    print(f"{args.exe}: {machine}, subsystem {pe.subsystem}, manifest "
          f"{'present' if manifest else 'missing'}, imports {', '.join(imports)}")
    for problem in problems:
        print(f"  FAIL: {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
