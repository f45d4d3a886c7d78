#!/usr/bin/env python3
"""Reads Windows PE files with Debian's pefile.

    pe.py check EXE...   the shipped programs' release check: PE32 for i386, console
                         subsystem, DYNAMICBASE and NXCOMPAT; at start they import from
                         KERNEL32, ADVAPI32 and msvcrt and nothing else; USER32 comes only
                         delay-loaded, with exactly the functions of cmake/user32-delay.def,
                         each slot pointing at its loading stub; no TLS directory and no
                         pseudo-relocations, which only the C runtime's start-up code
                         serves. Prints "ok EXE" or "FAIL EXE: why" a problem; exits 1 on
                         any.
    pe.py kind FILE      prints "DLL i386", "EXE x86-64" and the like, or "not PE"
    pe.py signed EXE     exits 0 when the program carries an Authenticode signature
"""
import os
import re
import sys

import pefile

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
SECURITY = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_SECURITY"]
TLS = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_TLS"]
IAT = pefile.DIRECTORY_ENTRY["IMAGE_DIRECTORY_ENTRY_IAT"]
ORDINARY = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll"}
MACHINES = {0x14C: "i386", 0x8664: "x86-64", 0xAA64: "ARM64", 0x1C4: "ARM"}


def kind(path):
    """(DLL or EXE, machine), or None when the file is no PE image."""
    try:
        pe = pefile.PE(path, fast_load=True)
    except (pefile.PEFormatError, OSError):
        return None
    dll = pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"]
    machine = MACHINES.get(pe.FILE_HEADER.Machine, f"machine {pe.FILE_HEADER.Machine:#x}")
    return ("DLL" if dll else "EXE", machine)


def delayed_user32_functions():
    with open(os.path.join(ROOT, "cmake", "user32-delay.def")) as listing:
        return sorted(re.findall(r"^([A-Za-z]+)@[0-9]+$", listing.read(), re.M))


def delay_imports(pe):
    """(DLL, function names, slot RVA) of each delay-import descriptor. MinGW's linker
    leaves the directory entry empty, so descriptors are found by their shape: attributes
    1 (addresses are RVAs), the RVAs of the name, module handle, slots and name table, no
    bound or unload tables and no time stamp."""
    found = []
    for section in pe.sections:
        data = section.get_data()
        for at in range(0, len(data) - 31, 4):
            fields = [int.from_bytes(data[at + 4 * i:at + 4 * i + 4], "little") for i in range(8)]
            attributes, name, module, slots, table, bound, unload, stamp = fields
            if attributes != 1 or bound or unload or stamp or not (name and module and slots and table):
                continue
            try:
                dll = pe.get_string_at_rva(name).decode("latin-1")
                if not dll.lower().endswith(".dll"):
                    continue
                functions = []
                entry_rva = table
                while (entry := pe.get_dword_at_rva(entry_rva)):
                    functions.append(f"#{entry & 0xFFFF}" if entry & 0x80000000
                                     else pe.get_string_at_rva(entry + 2).decode("latin-1"))
                    entry_rva += 4
            except (pefile.PEFormatError, TypeError, AttributeError):
                continue
            found.append((dll, functions, slots))
    return found


def pseudo_relocations(pe):
    """The RVAs of MinGW's runtime pseudo-relocation lists (version 2), which patch data
    imported from a DLL and are read only by the C runtime's start-up code. Stripping drops
    the symbols that mark the list, so it is found by its shape: the header 0, 0, 1 and a
    first entry whose symbol is a slot of the import address table, whose target lies in a
    section and whose size is 8, 16, 32 or 64 bits. The header alone is no evidence: its
    twelve bytes turn up in resources. (Version 1 lists, which have no header, are no
    longer made.) The shipped link refuses imported data (--disable-auto-import), so this
    guards programs linked some other way."""
    iat = pe.OPTIONAL_HEADER.DATA_DIRECTORY[IAT]
    found = []
    for section in pe.sections:
        data = section.get_data()
        for at in range(0, len(data) - 23, 4):
            fields = [int.from_bytes(data[at + 4 * i:at + 4 * i + 4], "little") for i in range(6)]
            magic, magic2, version, symbol, target, flags = fields
            if (magic, magic2, version) != (0, 0, 1) or flags & 0xFF not in (8, 16, 32, 64):
                continue
            if iat.VirtualAddress <= symbol < iat.VirtualAddress + iat.Size and \
                    any(s.contains_rva(target) for s in pe.sections):
                found.append(section.VirtualAddress + at)
    return found


def check(path):
    problems = []
    try:
        pe = pefile.PE(path)
    except (pefile.PEFormatError, OSError) as error:
        return [f"not a Windows program ({error})"]
    if pe.FILE_HEADER.Machine != 0x14C:
        problems.append("not a PE for i386")
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        problems.append("not PE32")
    if pe.OPTIONAL_HEADER.Subsystem != 3:
        problems.append("not the console subsystem")
    flags = pe.OPTIONAL_HEADER.DllCharacteristics
    if not flags & 0x40:
        problems.append("DYNAMICBASE not set")
    if not flags & 0x100:
        problems.append("NXCOMPAT not set")

    # The programs start without the C runtime's start-up code (platform/start.cpp): what
    # only that code serves must not be there. A TLS directory's callbacks would run first,
    # into a runtime that was never set up; unrelocated imported data would be read as
    # addresses.
    tls = pe.OPTIONAL_HEADER.DATA_DIRECTORY[TLS]
    if tls.VirtualAddress or tls.Size:
        problems.append("has a TLS directory (thread-local storage or TLS callbacks)")
    problems += [f"has pseudo-relocations of imported data at {rva:#x}" for rva in pseudo_relocations(pe)]

    imported = {entry.dll.decode("latin-1") for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    problems += [f"imports {dll}" for dll in sorted(imported - ORDINARY)]
    problems += [f"no {dll} import table" for dll in sorted(ORDINARY - imported)]

    delayed = delay_imports(pe)
    if "USER32.dll" not in [dll for dll, _, _ in delayed]:
        problems.append("no USER32.dll (delayed) import table")
    expected = delayed_user32_functions()
    executable = [s for s in pe.sections if s.Characteristics & 0x20000000]
    for dll, functions, slots in delayed:
        if dll != "USER32.dll":
            problems.append(f"delay-loads {dll}")
        elif sorted(functions) != expected:
            problems.append("delay-loads from USER32 other than cmake/user32-delay.def lists: "
                            + " ".join(sorted(functions)))
        for index, function in enumerate(functions):
            target = pe.get_dword_at_rva(slots + 4 * index)
            rva = target - pe.OPTIONAL_HEADER.ImageBase
            if not any(s.contains_rva(rva) for s in executable):
                problems.append(f"the delay-import slot of {dll} {function} holds {target:#x}, "
                                "not its loading stub")
    return problems


def signed(path):
    """Whether the program has a certificate table, where Authenticode keeps its signature."""
    pe = pefile.PE(path, fast_load=True)
    return pe.OPTIONAL_HEADER.DATA_DIRECTORY[SECURITY].Size > 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "signed":
        return 0 if signed(sys.argv[2]) else 1
    if len(sys.argv) == 3 and sys.argv[1] == "kind":
        found = kind(sys.argv[2])
        print(" ".join(found) if found else "not PE")
        return 0
    if len(sys.argv) >= 3 and sys.argv[1] == "check":
        status = 0
        for path in sys.argv[2:]:
            problems = check(path)
            for problem in problems:
                print(f"FAIL {path}: {problem}")
            if problems:
                status = 1
            else:
                print(f"ok {path}")
        return status
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
