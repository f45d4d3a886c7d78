// The few Windows helpers that the raw calls need: bounded text joins, terminated registry
// reads, and DLLs taken only from Windows' own folder.
#pragma once

#include <windows.h>
#include <stddef.h>

// The programs' exit status, for scripts that deploy the add-in.
enum ExitStatus {
    ExitDone = 0,
    ExitStopped = 1,   // stopped with a message, or (uninstaller) a file could not be deleted
    ExitCancelled = 2, // the user cancelled: running-Excel message, dialog, version question
};

// Caption of every message box of both programs.
extern const char SetupCaption[];

// Capacities of the fixed buffers, terminator included.
const DWORD PathCapacity = 260;
const DWORD AssociationCapacity = 256;

// Copies or appends text only when all of it and the terminator fit; otherwise the
// buffer is left as it was and false comes back. Nothing is ever cut short.
bool copy_text(char *buffer, size_t capacity, const char *text);
bool append_text(char *buffer, size_t capacity, const char *text);
// folder + name into a path buffer, under the same rule.
bool join_path(char *path, const char *folder, const char *name);
// snprintf by msvcrt's own _vsnprintf, which every Windows has: MinGW's C99 snprintf brings
// its whole number printer along. The text always ends inside the buffer, cut if it must
// be; false when it was cut.
bool format_text(char *buffer, size_t capacity, const char *format, ...);

// RegQueryValueExA / RegQueryValueA that always leave a terminated string inside the
// buffer, whatever the value's type or termination. A value that does not fit whole,
// terminator included, is a failed read (ERROR_MORE_DATA) and leaves the buffer empty.
LONG read_reg_value(HKEY key, const char *name, char *buffer, DWORD capacity);
LONG read_reg_default(HKEY key, char *buffer, DWORD capacity);

// Setup programs are run from download folders, where a stranger's DLL may lie beside
// them: only Windows' own folder may supply DLLs loaded after this.
void restrict_dll_search();

// Loads a DLL of Windows by its full path in the system folder, never from elsewhere.
HMODULE load_system_library(const char *name);

// Hands a document to the shell ("open", SW_SHOWNORMAL) and waits only until the shell has
// passed it on, not for Excel. OLE32 and SHELL32 are loaded only once the DLL search is
// restricted: their own imports would otherwise be looked for beside the program too. The
// outcome is not examined: Excel reports its own trouble.
void open_document(const char *path);

// Looks a function up by name in a system DLL loaded at run time; null when either is
// missing (the module is then released).
FARPROC find_function(const char *module_name, const char *function_name, HMODULE *module);

// An address from GetProcAddress as the function type it really has.
template <typename Function> Function as_function(FARPROC address)
{
    return reinterpret_cast<Function>(reinterpret_cast<void *>(address));
}
