// Which kind of Excel, 32-bit or 64-bit, a program or the add-in's library is built for:
// Excel loads only a library of its own kind.
#pragma once

// A program or library whose kind cannot be told: no such file, not a PE image, another
// machine. Such a one is not judged.
const int UnknownBits = 0;

// 32 or 64 for a Windows program, by GetBinaryTypeA; UnknownBits otherwise.
int program_bits(const char *path);

// 32 or 64 for a library, by the machine in its PE file header (GetBinaryTypeA does not
// take DLLs); UnknownBits otherwise.
int library_bits(const char *path);
