// Which kind of Excel, 32-bit or 64-bit, a program or the add-in's library is built for.
#include "bitness.h"

#include <windows.h>

int program_bits(const char *path)
{
    DWORD type = 0;
    if (!GetBinaryTypeA(path, &type))
        return UnknownBits;
    if (type == SCS_32BIT_BINARY)
        return 32;
    if (type == SCS_64BIT_BINARY)
        return 64;
    return UnknownBits;
}

// Exactly size bytes from offset; false when the file is shorter.
static bool read_at(HANDLE file, LONG offset, void *buffer, DWORD size)
{
    DWORD got = 0;
    return offset >= 0 && SetFilePointer(file, offset, NULL, FILE_BEGIN) == (DWORD)offset &&
           ReadFile(file, buffer, size, &got, NULL) && got == size;
}

int library_bits(const char *path)
{
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return UnknownBits;
    int bits = UnknownBits;
    IMAGE_DOS_HEADER dos;
    // The start of IMAGE_NT_HEADERS, the same for PE32 and PE32+.
    struct {
        DWORD Signature;
        IMAGE_FILE_HEADER FileHeader;
    } nt;
    if (read_at(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE &&
        read_at(file, dos.e_lfanew, &nt, sizeof nt) && nt.Signature == IMAGE_NT_SIGNATURE) {
        switch (nt.FileHeader.Machine) {
        case IMAGE_FILE_MACHINE_I386:
            bits = 32;
            break;
        case IMAGE_FILE_MACHINE_AMD64:
        case IMAGE_FILE_MACHINE_ARM64:
            bits = 64;
            break;
        }
    }
    CloseHandle(file);
    return bits;
}
