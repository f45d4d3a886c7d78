#!/usr/bin/env python3
"""The add-in's files, checked before they are packed beside the programs and again in a
finished package.

    payload.py check DIR NAME... [--library64 NAME] [--beside FILE...]
        DIR must hold each NAME, spelled exactly as the programs name it, of the kind its
        name says: .dll a Windows DLL, .xla and .xls Excel 97-2003 workbooks (compound
        documents with a workbook stream, read with olefile), .hlp a Windows help file. Any other file is a warning and is not packed. With
        --library64, DIR may hold that DLL too, the library for 64-bit Excel: it must be
        one for x86-64, and then the first DLL among the NAMEs must not be one too, or
        32-bit Excel would get no library it can load. No DLL may be one whose header
        says ARM64: the installer refuses it, whether it is a classic ARM64 DLL or an
        ARM64X one. With --beside, DIR is a finished package: it holds the FILEs too, and
        anything else is a problem.
        Prints "ok ...", "warning ..." and "FAIL ..." lines; exits 1 on any FAIL.
    payload.py architecture DLL   which Excel loads the DLL, as a sentence
    payload.py version EXE        the program's product version, from its version resource
    payload.py macros WORKBOOK    whether the workbook holds a VBA project, whether that is
                                  signed, and what users whose Excel runs only signed macros
                                  meet, as a paragraph
    payload.py addin WORKBOOK     whether the add-in workbook's VBA project is signed, and
                                  what users whose Excel loads only signed add-ins meet, as a
                                  paragraph
    payload.py signed WORKBOOK    exits 0 when the workbook's VBA project is signed, 3 when
                                  the workbook could not be read
"""
import os
import sys

import olefile
import pefile

import pe

WORKBOOK = "an Excel workbook (compound document)"
SIGNATURES = {".hlp": (bytes.fromhex("3F5F0300"), "a Windows help file")}
# Excel's VBA project in a workbook, and the names its signatures begin with: the legacy
# one, the agile "Ex" and the newest "Ext". Excel and the programs look for the same. A
# signature stream that is empty holds no signature.
PROJECT = "_VBA_PROJECT_CUR"
SIGNATURE = "\x05DigitalSignature"
COMPOUND = bytes.fromhex("D0CF11E0A1B11AE1")
UNREADABLE = 3
# Excel on Windows on Arm runs as Arm64EC and loads x86-64 libraries: the x86-64 build
# serves every 64-bit Excel. A header that says ARM64 is a classic ARM64 DLL, which no Excel
# loads, or an ARM64X one, which Excel on Windows on Arm loads; the installer reads only that
# header, cannot tell the two apart, and refuses both.
EXCEL = {"i386": "it loads only in 32-bit Excel",
         "x86-64": "it loads only in 64-bit Excel, Excel on Windows on Arm included"}


def architecture(path):
    machine = pe.kind(path)[1]
    loads = EXCEL.get(machine, "no Excel loads it")
    return f"{os.path.basename(path)} is a DLL for {machine}: {loads}."


def what_is_wrong(path, name):
    """None when the file is the kind its name says, else why not."""
    extension = os.path.splitext(name)[1].lower()
    if extension == ".dll":
        found = pe.kind(path)
        if found is None:
            return f"{name} is not a Windows DLL: it is no PE file at all"
        if found[0] != "DLL":
            return f"{name} is not a Windows DLL: it is a Windows program ({found[0]} for {found[1]})"
        if found[1] == "ARM64":
            return (f"{name} is a DLL for ARM64, classic or ARM64X (its header does not tell which), "
                    "and the installer refuses both: ship the x86-64 build, which every 64-bit Excel "
                    "loads, Excel on Windows on Arm included")
        if found[1] not in EXCEL:
            return (f"{name} is a DLL for {found[1]}, which no Excel that the installer serves loads: "
                    "ship the i386 build for 32-bit Excel, the x86-64 build for 64-bit Excel")
        return None
    if extension in (".xls", ".xla"):
        return workbook_problem(path, name)
    if extension not in SIGNATURES:
        return f"{name}: no check is known for a {extension or 'nameless'} file"
    signature, kind = SIGNATURES[extension]
    with open(path, "rb") as file:
        if file.read(len(signature)) != signature:
            return f"{name} is not {kind}: it does not start with {signature.hex(' ').upper()}"
    return None


class Unreadable(Exception):
    """A workbook that olefile cannot read; the text follows the file's name and says why."""


def read_workbook(path):
    """(whether the file holds a workbook stream, "Workbook" or "Book" from Excel 5 and 95;
    its VBA project: None when there is none, else whether it is signed). Raises Unreadable."""
    try:
        with olefile.OleFileIO(path) as workbook:
            book = workbook.exists("Workbook") or workbook.exists("Book")
            if workbook.get_type(PROJECT) != olefile.STGTY_STORAGE:
                return book, None
            return book, any(len(entry) == 2 and entry[0].upper() == PROJECT and entry[1].startswith(SIGNATURE)
                             and workbook.get_type(entry) == olefile.STGTY_STREAM and workbook.get_size(entry) > 0
                             for entry in workbook.listdir(streams=True, storages=True))
    # A damaged compound file makes olefile fail with whatever its parsing meets (ValueError,
    # IndexError and the like), not only OSError.
    except Exception as error:
        try:
            with open(path, "rb") as file:
                start = file.read(len(COMPOUND))
        except OSError as opening:
            raise Unreadable(f"cannot be opened: {opening.strerror}") from None
        if start != COMPOUND:
            raise Unreadable(f"is not {WORKBOOK}: it does not start with {COMPOUND.hex(' ').upper()}") from None
        why = str(error) if isinstance(error, OSError) else f"{type(error).__name__} in its structure"
        raise Unreadable(f"is damaged: it starts as {WORKBOOK} but olefile cannot read it ({why})") from None


def workbook_problem(path, name):
    """None when the file is an Excel 97-2003 workbook: a compound file holding a workbook
    stream."""
    try:
        if read_workbook(path)[0]:
            return None
        return f"{name} is not {WORKBOOK}: it is a compound file without a workbook stream"
    except Unreadable as error:
        return f"{name} {error}"


def vba_project(path):
    """None when the workbook holds no VBA project, else whether the project is signed.
    Raises Unreadable."""
    return read_workbook(path)[1]


def unsigned_why(path):
    """None when the workbook's VBA project is signed, else why it is not, as a clause."""
    try:
        signed = vba_project(path)
    except Unreadable as error:
        return (f"it could not be read ({os.path.basename(path)} {error}), so whether its VBA project "
                "is signed is unknown")
    if signed is None:
        return "it holds no VBA project, so nothing in it is signed"
    return None if signed else "its VBA project is not signed"


def macros(path):
    """What the vendor must know of a workbook's macros, as one paragraph."""
    name, why = os.path.basename(path), unsigned_why(path)
    if why is None:
        return (f"{name}: its VBA project is signed. Where Excel runs only digitally signed macros, "
                "Excel asks the user whether to trust your publisher, unless it does already, and the "
                "program that opens the workbook goes on.")
    return (f"{name}: {why}. Where Excel runs only digitally signed macros (\"Disable all macros except "
            "digitally signed macros\", set by the user or by a policy), it would run none of its macros and "
            "tell nobody, so the program that opens it stops before it changes anything and asks the user to "
            "allow macros with notification in Excel, or, where a policy sets it, to ask the administrator or "
            "you for a package whose workbooks are signed.")


def addin(path):
    """What the vendor must know of the add-in workbook's signature, as one paragraph."""
    name, why = os.path.basename(path), unsigned_why(path)
    if why is None:
        return (f"{name}: its VBA project is signed. Where Excel loads only signed add-ins, the installer "
                "goes on, and Excel loads the add-in where your certificate is among the trusted "
                "publishers; elsewhere Excel disables the add-in.")
    return (f"{name}: {why}. Where Excel loads only signed add-ins, it would not load this one, so on "
            "such a machine the installer stops before it changes anything and tells the user that whoever "
            "supplied the add-in must supply a signed one.")


def check_library64(folder, names, library64, entries):
    """The problems of the optional library for 64-bit Excel, which is checked only when
    the folder holds it."""
    path = os.path.join(folder, library64)
    if library64 not in entries:
        return []
    if (wrong := what_is_wrong(path, library64)):
        return [wrong]
    machine = pe.kind(path)[1]
    if machine != "x86-64":
        return [f"{library64} is not a library for 64-bit Excel: it is a DLL for {machine}"]
    library = next((name for name in names if name.lower().endswith(".dll")), None)
    if library in entries and (pe.kind(os.path.join(folder, library)) or ("", ""))[1] == "x86-64":
        return [f"{library} and {library64} are both for 64-bit Excel: 32-bit Excel would have no library it can load"]
    print(f"ok {architecture(path)}")
    return []


def check(folder, names, library64, beside):
    entries = sorted(os.listdir(folder))
    folded = {name.lower(): name for name in names}
    problems = check_library64(folder, names, library64, entries) if library64 else []
    for name in names:
        path = os.path.join(folder, name)
        if name not in entries:
            misspelt = [entry for entry in entries if entry.lower() == name.lower()]
            problems += [f"{entry} should be named {name}" for entry in misspelt] or [f"{name} is missing"]
        elif not os.path.isfile(path):
            problems.append(f"{name} is not a file")
        elif (wrong := what_is_wrong(path, name)):
            problems.append(wrong)
        else:
            print(f"ok {architecture(path)}" if name.lower().endswith(".dll") else f"ok {name}")
    for entry in entries:
        # A misspelt name is reported above, unless the right one is there too.
        if entry in names or entry == library64 or entry in (beside or []) or \
                (entry.lower() in folded and folded[entry.lower()] not in entries):
            continue
        if beside is None:
            print(f"warning {entry} is none of the add-in's files: it is left out of the package")
        else:
            problems.append(f"{entry} is nothing the package command packs")
    for problem in problems:
        print(f"FAIL {problem}")
    return 1 if problems else 0


def version(path):
    for info in pefile.PE(path).FileInfo[0]:
        for table in getattr(info, "StringTable", []):
            if b"ProductVersion" in table.entries:
                return table.entries[b"ProductVersion"].decode("ascii")
    raise SystemExit(f"{path} has no product version")


def main():
    command, arguments = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 2 else (None, [])
    if command == "check" and len(arguments) >= 2:
        beside = library64 = None
        if "--beside" in arguments:
            at = arguments.index("--beside")
            arguments, beside = arguments[:at], arguments[at + 1:]
        if "--library64" in arguments:
            at = arguments.index("--library64")
            library64 = arguments[at + 1]
            arguments = arguments[:at] + arguments[at + 2:]
        return check(arguments[0], arguments[1:], library64, beside)
    if command == "signed" and len(arguments) == 1:
        try:
            return 0 if vba_project(arguments[0]) else 1
        except Unreadable:
            return UNREADABLE
    if command in ("architecture", "version", "macros", "addin") and len(arguments) == 1:
        print({"architecture": architecture, "version": version, "macros": macros, "addin": addin}[command](arguments[0]))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main())
