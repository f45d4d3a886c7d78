// Which kind of Excel, 32-bit or 64-bit, a program or the add-in's library is built for:
// Excel loads only a library of its own kind.
#pragma once

#include <windows.h>

// A program or library whose kind cannot be told: no such file, not a PE image. Such a
// one is not judged.
const int UnknownBits = 0;

// 32 or 64 for a Windows program, by GetBinaryTypeA; UnknownBits otherwise.
int program_bits(const char *path);

// What a library's PE headers say (GetBinaryTypeA does not take DLLs): the machine of its
// file header, IMAGE_FILE_MACHINE_UNKNOWN when it is no PE image; and whether it is a
// whole DLL: flagged as one, with the optional header of its machine's kind, and holding
// every section's data, not cut off on the way.
struct LibraryHeaders {
    WORD machine;
    bool whole_dll;
};
LibraryHeaders read_library_headers(const char *path);

// The Excel that loads a library of this machine: 32 for i386, 64 for x86-64 (Excel on
// Windows on Arm runs as Arm64EC and loads x86-64 libraries too). UnknownBits for no PE
// image; NoExcelBits for ARM64 and any other machine: none that this installer serves, for
// a header that says ARM64 cannot tell an ARM64X library, which Excel on Arm loads, from a
// classic ARM64 one, which no Excel loads.
const int NoExcelBits = -1;
int library_bits(WORD machine);
