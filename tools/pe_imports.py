#!/usr/bin/env python3
"""Lists what a 32-bit Windows program imports, ordinary and delay-loaded, one DLL a line:

    KERNEL32.dll: DeleteFileA GetLastError ...
    USER32.dll (delayed): CharLowerBuffA MessageBoxA ...

MinGW's linker leaves the delay-import directory entry empty, so delay-import descriptors
are found by their shape. A delay-import slot must start out pointing into code (its
loading stub); one that does not would be called as it is, and is reported. Exits 1 then,
2 when the file is not a PE32 program.
Usage: pe_imports.py EXE
"""
import struct
import sys


def fail(message, status):
    print(f"{sys.argv[1]}: {message}", file=sys.stderr)
    sys.exit(status)


data = open(sys.argv[1], "rb").read()
if data[:2] != b"MZ":
    fail("not a Windows program", 2)
pe = struct.unpack_from("<I", data, 0x3C)[0]
if data[pe:pe + 4] != b"PE\0\0":
    fail("not a Windows program", 2)
sections_count, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
optional = pe + 24
if struct.unpack_from("<H", data, optional)[0] != 0x10B:
    fail("not PE32", 2)
image_base = struct.unpack_from("<I", data, optional + 28)[0]
directories = optional + 96
sections = []  # (rva, size, file offset, executable)
for index in range(sections_count):
    header = optional + optional_size + 40 * index
    virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<4I", data, header + 8)
    flags = struct.unpack_from("<I", data, header + 36)[0]
    sections.append((rva, max(virtual_size, raw_size), raw_offset, bool(flags & 0x20000000), raw_size))


def offset(rva):
    for start, size, raw, _, raw_size in sections:
        if start <= rva < start + size and rva - start < raw_size:
            return raw + rva - start
    return None


def executable(rva):
    return any(start <= rva < start + size and code for start, size, _, code, _ in sections)


def text(rva):
    at = offset(rva)
    if at is None:
        return None
    end = data.find(b"\0", at)
    return data[at:end].decode("latin-1") if end > at else None


def names(table_rva):
    """Names of an import name table; ordinals as #N."""
    found = []
    at = offset(table_rva)
    while at is not None:
        entry = struct.unpack_from("<I", data, at)[0]
        if entry == 0:
            break
        found.append(f"#{entry & 0xFFFF}" if entry & 0x80000000 else text(entry + 2))
        at += 4
    return found


status = 0
import_rva = struct.unpack_from("<I", data, directories + 8)[0]
at = offset(import_rva) if import_rva else None
while at is not None:
    lookup, _, _, name, first = struct.unpack_from("<5I", data, at)
    if name == 0:
        break
    print(f"{text(name)}: {' '.join(sorted(names(lookup or first)))}")
    at += 20

# Delay-import descriptors: attributes 1 (addresses are RVAs), then the RVAs of the DLL's
# name, its module handle, its slots and its name table, no bound or unload tables.
for start, size, raw, _, raw_size in sections:
    for at in range(raw, raw + min(size, raw_size) - 31, 4):
        attributes, name, module, slots, table, bound, unload, stamp = struct.unpack_from("<8I", data, at)
        if attributes != 1 or bound or unload or stamp or not (name and module and slots and table):
            continue
        dll = text(name)
        if dll is None or not dll.lower().endswith(".dll") or offset(slots) is None:
            continue
        functions = names(table)
        print(f"{dll} (delayed): {' '.join(sorted(functions))}")
        for index, function in enumerate(functions):
            target = struct.unpack_from("<I", data, offset(slots) + 4 * index)[0]
            if not executable(target - image_base):
                print(f"{sys.argv[1]}: the delay-import slot of {dll} {function} holds "
                      f"{target:#x}, not its loading stub", file=sys.stderr)
                status = 1
sys.exit(status)
