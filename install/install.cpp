// addin-install: waits until Excel is closed, finds Excel and its add-in folder, copies
// the add-in's three files there and opens the setup workbook in Excel.
#include "../discovery/discovery.h"
#include "../product/product.h"
#include "bitness.h"
#include "resource.h"
#include "where_is_excel.h"

#include <string.h>
#include <wchar.h>

static const char RunningExcelText[] =
    "The Setup program has detected that Microsoft Excel is running. The Add-In installation "
    "cannot work properly until you close Excel. If you wish to proceed with the Add-In "
    "installation, close Excel then click OK. Otherwise click Cancel.";
// "of a later version" (for "or a later version") is the text users have always seen: kept.
static const char VersionQuestionText[] =
    "The installation script had trouble determining which version of Excel is installed. Do "
    "you have Office 2000 of a later version of Excel? If so, click Yes. Click No if you have "
    "Excel 97 or an earlier version, or click Cancel to abort the Add-In installation.";
static const char LibraryMismatchFormat[] =
    "The Setup program has detected that Microsoft Excel (%s) is %d-bit, but the Add-In's "
    "library in this package is %d-bit, and %d-bit Excel cannot load a %d-bit library. The "
    "Add-In installation cannot continue: please get this Add-In for %d-bit Excel from whoever "
    "supplied it. Shutting down.";
static const char NoExcelText[] =
    " This system does not seem to have Microsoft Excel (required for the Excel Add-In) "
    "installed. Shutting down.";

static bool ExcelRunning;

// Window titles, read whole up to this many characters.
const int TitleCapacity = 512;

static int show_stop(const char *text)
{
    MessageBoxA(NULL, text, SetupCaption, MB_OK | MB_ICONEXCLAMATION);
    return ExitStopped;
}

static int show_formatted_stop(const char *format, const char *path)
{
    char text[MessageCapacity];
    format_text(text, sizeof text, format, path);
    return show_stop(text);
}

static int show_association_stop(DiscoveryStatus status)
{
    const char *reason = "";
    switch (status) {
    case AssociationKeyMissing: reason = ".XLS registry entry not found."; break;
    case AssociationUnreadable: reason = "Unable to open .XLS registry key."; break;
    case OpenCommandMissing: reason = "No registry entry for opening .XLS files."; break;
    default: reason = "Invalid registry entry for opening .XLS files."; break;
    }
    char text[MessageCapacity];
    format_text(text, sizeof text, "%s%s", reason, NoExcelText);
    return show_stop(text);
}

static int show_path_too_long(const char *what)
{
    return show_formatted_stop("The path of %s is too long for the Setup program. The Add-In "
                               "installation cannot continue. Shutting down.",
                               what);
}

static int show_copy_failure(const char *folder, const char *name, DWORD code)
{
    // Large enough for a joined path that did not fit a path buffer.
    char path[PathCapacity * 2];
    format_text(path, sizeof path, "%s%s", folder, name);
    char text[MessageCapacity];
    format_text(text, sizeof text, "CopyFile failed for %s with error code=%d", path, (int)code);
    return show_stop(text);
}

static int show_library_mismatch(int excel_bits, int library_bits)
{
    // Room for the path and every number, so nothing is cut.
    char text[sizeof LibraryMismatchFormat + PathCapacity + 5 * 8];
    format_text(text, sizeof text, LibraryMismatchFormat, ExcelPath, excel_bits, library_bits,
                excel_bits, library_bits, excel_bits);
    return show_stop(text);
}

// The add-in's library for this Excel: the 64-bit build for a 64-bit Excel when the
// package has one, else the only one.
static const char *choose_library(const char *SourceFolder, int excel_bits)
{
    char path[PathCapacity];
    if (excel_bits == 64 && join_path(path, SourceFolder, AddinLibrary64) &&
        GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES)
        return AddinLibrary64;
    return AddinLibrary;
}

// lparam: the console's own title, or an empty text.
static BOOL CALLBACK excel_window_present(HWND window, LPARAM lparam)
{
    // Our own console window bears the program's path as its title, and that path may
    // well contain "Microsoft Excel" (a download folder named after it, say). Where a
    // terminal program hosts the console (Windows 11's default), the window the user sees
    // is the terminal's, and only its title, the console's own, tells it apart. Titles
    // are compared in UTF-16: GetConsoleTitleA gives the console's code page, not ours.
    if (window == GetConsoleWindow())
        return TRUE;
    const wchar_t *console_title = (const wchar_t *)lparam;
    wchar_t wide_title[TitleCapacity];
    if (console_title[0] != L'\0' && GetWindowTextW(window, wide_title, ARRAYSIZE(wide_title)) != 0 &&
        wcscmp(wide_title, console_title) == 0)
        return TRUE;
    char title[TitleCapacity];
    // Excel 2013 and later title the main window "Book1 - Excel"; its class is XLMAIN in
    // every version.
    char class_name[16];
    if ((GetWindowTextA(window, title, sizeof title) != 0 && strstr(title, "Microsoft Excel") != NULL) ||
        (GetClassNameA(window, class_name, sizeof class_name) != 0 &&
         lstrcmpiA(class_name, "XLMAIN") == 0)) {
        ExcelRunning = true;
        return FALSE;
    }
    return TRUE;
}

// ExitDone once no Excel runs; otherwise the status to end with.
static int running_excel_guard()
{
    wchar_t console_title[TitleCapacity] = L"";
    if (GetConsoleTitleW(console_title, ARRAYSIZE(console_title)) == 0)
        console_title[0] = L'\0';
    for (;;) {
        ExcelRunning = false;
        EnumWindows(excel_window_present, (LPARAM)console_title);
        if (!ExcelRunning)
            return ExitDone;
        int answer =
            MessageBoxA(NULL, RunningExcelText, SetupCaption, MB_OKCANCEL | MB_ICONEXCLAMATION);
        if (answer == 0) // no box could be shown: asking again would loop for ever
            return ExitStopped;
        if (answer == IDCANCEL)
            return ExitCancelled;
    }
}

int main()
{
    restrict_dll_search();
    char SourceFolder[PathCapacity];
    if (source_folder(SourceFolder) != Found)
        return show_path_too_long("the Setup program's folder");

    int guard = running_excel_guard();
    if (guard != ExitDone)
        return guard;

    DiscoveryStatus status = locate_excel();
    if (status == AssociationEmpty) {
        INT_PTR answer = DialogBoxParamA(NULL, IDD_WHERE_IS_EXCEL, NULL, where_is_excel_proc, 0);
        if (answer == -1) // the dialog could not be made: nobody cancelled
            return ExitStopped;
        if (answer == 0)
            return ExitCancelled;
        if (answer == WhereIsExcelPathTooLong)
            return show_path_too_long("EXCEL.EXE");
    } else if (status == PathTooLong) {
        return show_path_too_long("the .XLS registry entry");
    } else if (status != Found) {
        return show_association_stop(status);
    }
    clean_excel_command();

    // Before anything is asked, made or copied: Excel loads only a library of its own
    // kind. Where either kind cannot be told, the copy goes ahead as it always did.
    int excel_bits = program_bits(ExcelPath);
    const char *library = choose_library(SourceFolder, excel_bits);
    char library_path[PathCapacity];
    int bits = join_path(library_path, SourceFolder, library) ? library_bits(library_path) : UnknownBits;
    if (excel_bits != UnknownBits && bits != UnknownBits && bits != excel_bits)
        return show_library_mismatch(excel_bits, bits);

    int ExcelMajorVersion = 0;
    if (read_excel_major_version(&ExcelMajorVersion) != Found) {
        int answer = MessageBoxA(NULL, VersionQuestionText, SetupCaption, MB_YESNOCANCEL);
        if (answer == IDYES)
            ExcelMajorVersion = FirstApplicationDataVersion;
        else if (answer == IDNO)
            ExcelMajorVersion = 0;
        else if (answer == 0) // no box could be shown: nobody cancelled
            return ExitStopped;
        else
            return ExitCancelled;
    }

    char AddinFolder[PathCapacity];
    status = resolve_addin_folder(ExcelMajorVersion, AddinFolder);
    if (status == SpecialFolderServiceMissing)
        return show_stop("Unable to find Application Data folder, quitting.");
    if (status != Found)
        return show_path_too_long("the Add-In folder for Excel");

    // Only the last level is created; a missing parent ends in "Failed to create the folder".
    if (!CreateDirectoryA(AddinFolder, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return show_formatted_stop("Failed to create the folder %s", AddinFolder);

    for (const char *name : InstallerFileSet) {
        // The library lands under its one name, which the add-in workbook declares.
        const char *source_name = name == AddinLibrary ? library : name;
        char source[PathCapacity];
        char destination[PathCapacity];
        if (!join_path(source, SourceFolder, source_name))
            return show_copy_failure(SourceFolder, source_name, ERROR_FILENAME_EXCED_RANGE);
        if (!join_path(destination, AddinFolder, name))
            return show_copy_failure(AddinFolder, name, ERROR_FILENAME_EXCED_RANGE);
        // A read-only earlier copy would refuse to be overwritten. A copy that cannot be
        // removed is reported by the copy that follows.
        delete_file(destination);
        if (!CopyFileA(source, destination, FALSE))
            return show_copy_failure(AddinFolder, name, GetLastError());
    }

    char workbook[PathCapacity];
    if (!join_path(workbook, SourceFolder, SetupWorkbook))
        return show_path_too_long("the setup workbook addinsetup.xls");
    open_document(workbook);
    return ExitDone;
}
