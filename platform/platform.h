// The few Windows helpers that the raw calls need: bounded text joins, terminated registry
// reads, deletion whatever a file's attributes, and DLLs taken only from Windows' own folder.
#pragma once

#include <windows.h>
#include <stddef.h>

// Capacities of the fixed buffers, terminator included.
const DWORD PathCapacity = 260;
const DWORD AssociationCapacity = 256;
// A message shown to the user, formatted: the longest the programs make fits.
const DWORD MessageCapacity = 512;

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

// Takes the named mutex of one run at a time, held until the process ends; true when
// another process already holds it, which then goes on unaffected.
bool another_run_active(const char *name);

// Deletes a file whatever its attributes: read-only, hidden and system files refuse
// deletion until they are cleared. FileGone when DeleteFileA succeeded or no file was there
// at all (not found, or its folder not found); FileStillThere when it could not be deleted
// (another program holds it open), its attributes then as they were; FileInDoubt when
// Windows cannot even tell whether a file is there.
enum DeleteResult { FileGone, FileStillThere, FileInDoubt };
DeleteResult delete_file(const char *path);
// The names the installer gives its own files in the add-in folder while it replaces the
// add-in's ("kav", one to four hex digits, ".tmp", as GetTempFileNameA names them), filled
// with a number below 0x10000.
const char OwnNameFormat[] = "kav%X.tmp";
// Deletes the files of folder by such names that nothing holds: what earlier runs could not
// delete, such as the earlier copy of a library that Excel still had mapped. Only after the
// add-in's files are in place, or gone: until then such a file may be the user's only copy.
// No other file is touched.
void delete_leftovers(const char *folder);
// What GetFileAttributesA's answer, just given, says of a file by the same rule: there, not
// there (FileGone), or in doubt (access denied, an offline share).
DeleteResult file_state(DWORD attributes);

// Whether Windows marked a file as downloaded from where Excel blocks macros: the Internet
// (zone 3) or Restricted sites (4), by the zone its Zone.Identifier stream records (the
// "mark of the web"). The stream's name is the file's path and 16 characters more; when
// that does not fit a path buffer the mark cannot be read, which never counts as no mark.
enum DownloadMark { Unmarked, MarkedBlocked, MarkPathTooLong };
DownloadMark download_mark(const char *path);

// Whether a workbook's VBA project carries a digital signature, as Excel finds one: a stream,
// not empty, in its _VBA_PROJECT_CUR storage, whose name begins with "\x05DigitalSignature"
// (the legacy signature, the agile "Ex" and the newest "Ext"). Read through Windows' own
// structured storage. Unsigned also without a project, and for a file that is no compound
// file; SignatureUnreadable where the file could not be read at all (another program holds
// it without sharing it, a damaged file), error then holding the failed call's code.
enum VbaSignature { VbaSigned, VbaUnsigned, SignatureUnreadable };
VbaSignature read_vba_signature(const char *path, HRESULT *error);

// The security zone of a file's location, as Windows gives it to Excel (urlmon's
// MapUrlToZone, the path taken as a file's): for a drive mapped to a network share, the
// stricter of the drive's and the share's own. Excel blocks the macros of files in the
// Internet and Restricted sites zones. NoZone when Windows gives no answer.
const DWORD InternetZone = 3;
const DWORD RestrictedSitesZone = 4;
const DWORD NoZone = 0xFFFFFFFF;
DWORD location_zone(const char *path);

// Hands a document to Excel ("open", SW_SHOWNORMAL) through the shell, and waits only until
// the shell has passed it on, not for Excel. With excel_class (not empty): by that class's
// own verb, which a running Excel answers as it does a double-click, whatever program
// ".xls" or the user's choice names. Else with excel (not empty): that program, given the
// document's quoted path. With neither, nothing is opened: the document goes to no other
// program. OLE32 and SHELL32 are loaded only once the DLL search is restricted: their own
// imports would otherwise be looked for beside the program too. The outcome is not
// examined: Excel reports its own trouble.
void open_document(const char *path, const char *excel_class, const char *excel);

// A function of a DLL of Windows, which is loaded by its full path in the system folder and
// never from elsewhere; null when either is missing. The DLL stays loaded until the process
// ends: the programs are short, and the shell may still be at work on threads of its own
// after a call returns.
FARPROC system_function_address(const char *module_name, const char *function_name);

// The same, typed by the function's own Windows declaration, so that the two cannot drift
// apart: SYSTEM_FUNCTION("version.dll", GetFileVersionInfoSizeA).
#define SYSTEM_FUNCTION(module_name, function)                                                    \
    reinterpret_cast<decltype(&function)>(                                                        \
        reinterpret_cast<void *>(system_function_address(module_name, #function)))
