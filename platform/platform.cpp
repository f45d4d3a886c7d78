// The few Windows helpers that the raw calls need: bounded text joins, terminated registry
// reads, deletion whatever a file's attributes, and DLLs taken only from Windows' own folder.
#include "platform.h"

#include <objbase.h>
#include <shellapi.h>
#include <urlmon.h>
#include <winnetwk.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>

bool copy_text(char *buffer, size_t capacity, const char *text)
{
    size_t length = strlen(text);
    if (length >= capacity)
        return false;
    memcpy(buffer, text, length + 1);
    return true;
}

bool append_text(char *buffer, size_t capacity, const char *text)
{
    size_t used = strnlen(buffer, capacity);
    if (used >= capacity)
        return false;
    return copy_text(buffer + used, capacity - used, text);
}

bool join_path(char *path, const char *folder, const char *name)
{
    return copy_text(path, PathCapacity, folder) && append_text(path, PathCapacity, name);
}

bool format_text(char *buffer, size_t capacity, const char *format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    int length = _vsnprintf(buffer, capacity, format, arguments);
    va_end(arguments);
    // _vsnprintf leaves no terminator when the text fills the buffer or more.
    buffer[capacity - 1] = '\0';
    return length >= 0 && (size_t)length < capacity;
}

// The registry hands back the stored bytes as they are: a string may come without its
// zero, and a binary or DWORD value never has one. Terminate it ourselves, and refuse
// the value when the terminator has no room.
static LONG terminate_reg_data(LONG result, char *buffer, DWORD capacity, DWORD size)
{
    if (result == ERROR_SUCCESS) {
        if (size > capacity) {
            result = ERROR_MORE_DATA;
        } else if (size > 0 && buffer[size - 1] == '\0') {
            return ERROR_SUCCESS;
        } else if (size < capacity) {
            buffer[size] = '\0';
            return ERROR_SUCCESS;
        } else {
            result = ERROR_MORE_DATA;
        }
    }
    buffer[0] = '\0';
    return result;
}

LONG read_reg_value(HKEY key, const char *name, char *buffer, DWORD capacity)
{
    DWORD size = capacity;
    LONG result = RegQueryValueExA(key, name, NULL, NULL, (BYTE *)buffer, &size);
    return terminate_reg_data(result, buffer, capacity, size);
}

LONG read_reg_default(HKEY key, char *buffer, DWORD capacity)
{
    LONG size = (LONG)capacity;
    LONG result = RegQueryValueA(key, NULL, buffer, &size);
    return terminate_reg_data(result, buffer, capacity, (DWORD)size);
}

FARPROC system_function_address(const char *module_name, const char *function_name)
{
    char path[PathCapacity];
    UINT length = GetSystemDirectoryA(path, PathCapacity);
    if (length == 0 || length >= PathCapacity || !append_text(path, PathCapacity, "\\") ||
        !append_text(path, PathCapacity, module_name))
        return NULL;
    HMODULE module = LoadLibraryA(path);
    return module != NULL ? GetProcAddress(module, function_name) : NULL;
}

void restrict_dll_search()
{
    // SetDefaultDllDirectories came with Windows 8 (and to Vista and 7 with update
    // KB2533623), SetDllDirectoryA with XP SP1: both are looked up, not imported.
    auto set_default = SYSTEM_FUNCTION("kernel32.dll", SetDefaultDllDirectories);
    if (set_default != NULL && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Without it, at least take the current folder out of the search.
    auto set_directory = SYSTEM_FUNCTION("kernel32.dll", SetDllDirectoryA);
    if (set_directory != NULL)
        set_directory("");
}

bool another_run_active(const char *name)
{
    // Never closed: Windows lets it go with the process. A mutex that exists but is closed to
    // us (made by an elevated run, say) is another run's too.
    HANDLE lock = CreateMutexA(NULL, FALSE, name);
    DWORD error = GetLastError();
    return lock != NULL ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}

// Only these two errors say that nothing is there; any other leaves the file in doubt.
DeleteResult file_state(DWORD attributes)
{
    if (attributes != INVALID_FILE_ATTRIBUTES)
        return FileStillThere;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FileGone : FileInDoubt;
}

DeleteResult delete_file(const char *path)
{
    DWORD attributes = GetFileAttributesA(path);
    DeleteResult state = file_state(attributes);
    if (state != FileStillThere)
        return state;
    SetFileAttributesA(path, FILE_ATTRIBUTE_ARCHIVE);
    // Gone when Windows says so. A reader that shares the file for deletion (an antivirus,
    // the indexer) keeps its name until it lets go, and a look meanwhile is refused (Windows
    // before 10 version 1903) or still finds it (Wine).
    if (DeleteFileA(path))
        return FileGone;
    state = file_state(GetFileAttributesA(path));
    // Left where it is as it was, for the user to find.
    if (state == FileStillThere)
        SetFileAttributesA(path, attributes);
    return state;
}

// Whether a file name is one that OwnNameFormat makes, in any letter case.
static bool own_name(const char *name)
{
    if (_strnicmp(name, "kav", 3) != 0)
        return false;
    size_t digits = strspn(name + 3, "0123456789ABCDEFabcdef");
    return digits >= 1 && digits <= 4 && lstrcmpiA(name + 3 + digits, ".tmp") == 0;
}

void delete_leftovers(const char *folder)
{
    char path[PathCapacity];
    if (!join_path(path, folder, "kav*.tmp"))
        return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(path, &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        // The pattern also matches long names by their short ones: each name is checked whole.
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && own_name(found.cFileName) &&
            join_path(path, folder, found.cFileName))
            delete_file(path);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

DownloadMark download_mark(const char *path)
{
    char stream[PathCapacity];
    if (!copy_text(stream, PathCapacity, path) || !append_text(stream, PathCapacity, ":Zone.Identifier"))
        return MarkPathTooLong;
    // A stream that is there but cannot be read (held by another program, or closed to us)
    // is taken for a mark: the safe answer. A volume without streams (FAT) is no mark.
    HANDLE file = CreateFileA(stream, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED
                   ? MarkedBlocked
                   : Unmarked;
    }
    CloseHandle(file);
    // INI text: a [ZoneTransfer] section whose ZoneId may follow other lines (HostUrl,
    // ReferrerUrl, LastWriterPackageFamilyName). No stream, or none with a ZoneId: 0.
    UINT zone = GetPrivateProfileIntA("ZoneTransfer", "ZoneId", 0, stream);
    return zone == InternetZone || zone == RestrictedSitesZone ? MarkedBlocked : Unmarked;
}

VbaSignature read_vba_signature(const char *path, HRESULT *error)
{
    auto open_storage = SYSTEM_FUNCTION("ole32.dll", StgOpenStorage);
    auto free_name = SYSTEM_FUNCTION("ole32.dll", CoTaskMemFree);
    wchar_t wide_path[PathCapacity];
    *error = E_FAIL;
    if (open_storage == NULL || free_name == NULL ||
        MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, PathCapacity) == 0)
        return SignatureUnreadable;
    // Direct, shared for reading only: a transacted open first copies the whole file into a
    // snapshot in the temporary folder. Only where another program has the file open for
    // writing is the transacted open, which shares it, the one that can read it.
    IStorage *workbook = NULL;
    HRESULT result = open_storage(wide_path, NULL, STGM_READ | STGM_SHARE_DENY_WRITE, NULL, 0, &workbook);
    if (result == STG_E_SHAREVIOLATION || result == STG_E_LOCKVIOLATION)
        result = open_storage(wide_path, NULL, STGM_READ | STGM_TRANSACTED | STGM_SHARE_DENY_NONE, NULL, 0, &workbook);
    if (result == STG_E_FILEALREADYEXISTS) // no compound file, so no VBA project either
        return VbaUnsigned;
    if (FAILED(result)) {
        *error = result;
        return SignatureUnreadable;
    }
    static const wchar_t Signature[] = L"\x05" L"DigitalSignature";
    bool signed_project = false;
    IStorage *project = NULL;
    IEnumSTATSTG *elements = NULL;
    if (SUCCEEDED(workbook->OpenStorage(L"_VBA_PROJECT_CUR", NULL, STGM_READ | STGM_SHARE_EXCLUSIVE, NULL, 0, &project))) {
        if (SUCCEEDED(project->EnumElements(0, NULL, 0, &elements))) {
            STATSTG element;
            while (!signed_project && elements->Next(1, &element, NULL) == S_OK) {
                signed_project = element.type == STGTY_STREAM && element.cbSize.QuadPart > 0 &&
                                 wcsncmp(element.pwcsName, Signature, ARRAYSIZE(Signature) - 1) == 0;
                free_name(element.pwcsName);
            }
            elements->Release();
        }
        project->Release();
    }
    workbook->Release();
    return signed_project ? VbaSigned : VbaUnsigned;
}

// COM for the calls that need it, apartment-threaded and without OLE1 DDE, as Windows asks of
// the shell's callers. Gives the function that ends it, or null where it could not start.
static decltype(&CoUninitialize) start_com()
{
    auto initialize = SYSTEM_FUNCTION("ole32.dll", CoInitializeEx);
    auto uninitialize = SYSTEM_FUNCTION("ole32.dll", CoUninitialize);
    if (initialize == NULL || uninitialize == NULL ||
        FAILED(initialize(NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)))
        return NULL;
    return uninitialize;
}

// The zone that the security manager gives a file's path; NoZone for no answer.
static DWORD zone_of(IInternetSecurityManager *manager, const char *path)
{
    // Room for a share's name, which may be longer than the drive's path.
    wchar_t wide_path[PathCapacity * 2];
    DWORD zone = NoZone;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, ARRAYSIZE(wide_path)) == 0 ||
        FAILED(manager->MapUrlToZone(wide_path, &zone, MUTZ_ISFILE | MUTZ_DONT_UNESCAPE)))
        return NoZone;
    return zone;
}

DWORD location_zone(const char *path)
{
    auto create_manager = SYSTEM_FUNCTION("urlmon.dll", CoInternetCreateSecurityManager);
    auto universal_name = SYSTEM_FUNCTION("mpr.dll", WNetGetUniversalNameA);
    auto end_com = start_com();
    IInternetSecurityManager *manager = NULL;
    DWORD zone = NoZone;
    if (create_manager != NULL && SUCCEEDED(create_manager(NULL, &manager, 0))) {
        zone = zone_of(manager, path);
        // A drive mapped to a share: the share's name may be mapped to a stricter zone than the
        // drive. WNetGetUniversalNameA fails for a local drive.
        union {
            UNIVERSAL_NAME_INFOA info;
            char bytes[sizeof(UNIVERSAL_NAME_INFOA) + PathCapacity * 2];
        } share;
        DWORD size = sizeof share;
        if (universal_name != NULL && universal_name(path, UNIVERSAL_NAME_INFO_LEVEL, &share, &size) == NO_ERROR) {
            DWORD share_zone = zone_of(manager, share.info.lpUniversalName);
            if (share_zone != NoZone && (zone == NoZone || share_zone > zone))
                zone = share_zone;
        }
        manager->Release();
    }
    if (end_com != NULL)
        end_com();
    return zone;
}

void open_document(const char *path, const char *excel_class, const char *excel)
{
    // No Excel known: ".xls" may well name another program.
    if (excel_class[0] == '\0' && excel[0] == '\0')
        return;
    // The shell activates verb handlers and shell extensions through COM, so COM comes
    // first.
    auto end_com = start_com();
    auto execute = SYSTEM_FUNCTION("shell32.dll", ShellExecuteExA);
    // The path, quoted, and room for the quotation marks.
    char quoted[PathCapacity + 2];
    if (execute != NULL && format_text(quoted, sizeof quoted, "\"%s\"", path)) {
        SHELLEXECUTEINFOA request = {};
        request.cbSize = sizeof request;
        // We exit right after the call: the shell must finish its work (a DDE
        // conversation with Excel, say) before it returns, not on a thread of ours. The
        // shell shows no messages of its own, as ShellExecuteA did not: a missing
        // association or workbook is no stop for these programs.
        request.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        request.lpVerb = "open";
        request.lpFile = path;
        request.nShow = SW_SHOWNORMAL;
        if (excel_class[0] != '\0') {
            request.fMask |= SEE_MASK_CLASSNAME;
            request.lpClass = excel_class;
        } else {
            request.lpFile = excel;
            request.lpParameters = quoted;
        }
        execute(&request);
    }
    if (end_com != NULL)
        end_com();
}
