// Which kind of Excel, 32-bit or 64-bit, a program or the add-in's library is built for.
#include "bitness.h"

#include <stddef.h>

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
static bool read_at(HANDLE file, DWORD offset, void *buffer, DWORD size)
{
    DWORD got = 0;
    return SetFilePointer(file, (LONG)offset, NULL, FILE_BEGIN) == offset &&
           ReadFile(file, buffer, size, &got, NULL) && got == size;
}

LibraryHeaders read_library_headers(const char *path)
{
    LibraryHeaders headers = {IMAGE_FILE_MACHINE_UNKNOWN, false};
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return headers;
    IMAGE_DOS_HEADER dos;
    // The start of IMAGE_NT_HEADERS, the same for PE32 and PE32+ up to the optional
    // header's magic.
    struct {
        DWORD Signature;
        IMAGE_FILE_HEADER FileHeader;
        WORD Magic;
    } nt;
    if (read_at(file, 0, &dos, sizeof dos) && dos.e_magic == IMAGE_DOS_SIGNATURE && dos.e_lfanew > 0 &&
        read_at(file, (DWORD)dos.e_lfanew, &nt, sizeof nt) && nt.Signature == IMAGE_NT_SIGNATURE) {
        headers.machine = nt.FileHeader.Machine;
        // A download cut off on the way ends before the data of its last sections.
        DWORD size = GetFileSize(file, NULL);
        DWORD at = (DWORD)dos.e_lfanew + sizeof(DWORD) + sizeof(IMAGE_FILE_HEADER) +
                   nt.FileHeader.SizeOfOptionalHeader;
        // Windows loads a library only with the optional header of its kind, PE32+ for a
        // 64-bit machine, whole up to its table of data directories.
        bool pe32 = nt.FileHeader.Machine == IMAGE_FILE_MACHINE_I386;
        bool whole = (nt.FileHeader.Characteristics & IMAGE_FILE_DLL) != 0 &&
                     nt.Magic == (pe32 ? IMAGE_NT_OPTIONAL_HDR32_MAGIC : IMAGE_NT_OPTIONAL_HDR64_MAGIC) &&
                     nt.FileHeader.SizeOfOptionalHeader >= (pe32 ? offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory)
                                                                 : offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory)) &&
                     nt.FileHeader.NumberOfSections > 0 && size != INVALID_FILE_SIZE;
        for (WORD i = 0; whole && i < nt.FileHeader.NumberOfSections; i++) {
            IMAGE_SECTION_HEADER section;
            whole = read_at(file, at + i * sizeof section, &section, sizeof section) &&
                    section.PointerToRawData <= size &&
                    section.SizeOfRawData <= size - section.PointerToRawData;
        }
        headers.whole_dll = whole;
    }
    CloseHandle(file);
    return headers;
}

int library_bits(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_UNKNOWN: return UnknownBits;
    case IMAGE_FILE_MACHINE_I386: return 32;
    case IMAGE_FILE_MACHINE_AMD64: return 64;
    default: return NoExcelBits;
    }
}
