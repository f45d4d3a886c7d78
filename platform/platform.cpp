// The few Windows helpers that the raw calls need: bounded text joins, terminated registry
// reads, and DLLs taken only from Windows' own folder.
#include "platform.h"

#include <objbase.h>
#include <shellapi.h>

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

const char SetupCaption[] = "Kavor Interface Add-In Setup";

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

void restrict_dll_search()
{
    // Both are newer than the oldest Windows these programs run on, so they are looked up.
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFunction)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryFunction)(LPCSTR);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC set_default = GetProcAddress(kernel, "SetDefaultDllDirectories");
    if (set_default != NULL &&
        as_function<SetDefaultDllDirectoriesFunction>(set_default)(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Without it, at least take the current folder out of the search.
    FARPROC set_directory = GetProcAddress(kernel, "SetDllDirectoryA");
    if (set_directory != NULL)
        as_function<SetDllDirectoryFunction>(set_directory)("");
}

HMODULE load_system_library(const char *name)
{
    char path[PathCapacity];
    UINT length = GetSystemDirectoryA(path, PathCapacity);
    if (length == 0 || length >= PathCapacity || !append_text(path, PathCapacity, "\\") ||
        !append_text(path, PathCapacity, name))
        return NULL;
    return LoadLibraryA(path);
}

FARPROC find_function(const char *module_name, const char *function_name, HMODULE *module)
{
    *module = load_system_library(module_name);
    if (*module == NULL)
        return NULL;
    FARPROC function = GetProcAddress(*module, function_name);
    if (function == NULL) {
        FreeLibrary(*module);
        *module = NULL;
    }
    return function;
}

void open_document(const char *path)
{
    typedef HRESULT(WINAPI * CoInitializeExFunction)(LPVOID, DWORD);
    typedef void(WINAPI * CoUninitializeFunction)();
    typedef BOOL(WINAPI * ShellExecuteExFunction)(SHELLEXECUTEINFOA *);
    // The shell activates verb handlers and shell extensions through COM, so COM comes
    // first, apartment-threaded and without OLE1 DDE, as Windows asks of the shell's
    // callers. Both DLLs stay loaded: the shell may still be at work on its own threads.
    HMODULE com = load_system_library("ole32.dll");
    FARPROC initialize = com != NULL ? GetProcAddress(com, "CoInitializeEx") : NULL;
    FARPROC uninitialize = com != NULL ? GetProcAddress(com, "CoUninitialize") : NULL;
    bool com_ready = initialize != NULL && uninitialize != NULL &&
                     SUCCEEDED(as_function<CoInitializeExFunction>(initialize)(
                         NULL, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    HMODULE shell = load_system_library("shell32.dll");
    FARPROC execute = shell != NULL ? GetProcAddress(shell, "ShellExecuteExA") : NULL;
    if (execute != NULL) {
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
        as_function<ShellExecuteExFunction>(execute)(&request);
    }
    if (com_ready)
        as_function<CoUninitializeFunction>(uninitialize)();
}
