// addin-install: waits until Excel is closed, finds Excel and its add-in folder, copies
// the add-in's three files there and opens the setup workbook in Excel.
#include "../checks/excel_runs.h"
#include "../discovery/discovery.h"
#include "../product/messages.h"
#include "bitness.h"
#include "replace.h"
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
static const char ForeignLibraryFormat[] =
    "The file %s in the Setup program's folder is built for another kind of processor (such as "
    "ARM64), which no Excel that this Setup program serves can load. The Add-In installation "
    "cannot continue: please get this Add-In for your Excel, 32-bit or 64-bit, from whoever "
    "supplied it. Shutting down.";
static const char MissingFileFormat[] =
    "The file %s is missing from the Setup program's folder. The Add-In installation cannot "
    "continue. " EXTRACT_STEPS "Setup from the extracted folder: Setup cannot be run from "
    "inside the zip file. Shutting down.";
static const char DamagedLibraryFormat[] =
    "The file %s in the Setup program's folder is not a whole library for 64-bit Excel: it is "
    "damaged, incomplete or built for another kind of processor. The Add-In installation cannot "
    "continue: please get this Add-In package again from whoever supplied it. Shutting down.";
// Names the file, then says what its mark does, in words true of that file.
static const char MarkedFileFormat[] =
    "Windows has marked the file %s as downloaded from the Internet, and %s. The Add-In "
    "installation cannot continue. " UNBLOCK_STEPS " and run Setup from the new folder. Shutting "
    "down.";
// A path or an entry that does not fit its buffer: what it is, then what the user can do.
static const char TooLongFormat[] =
    "%s%s is too long for the Setup program. The Add-In installation cannot continue: %s. "
    "Shutting down.";
static const char MovePackage[] =
    "move the package to a folder with a shorter path and run Setup from there";
static const char NoExcelText[] =
    " This system does not seem to have Microsoft Excel (required for the Excel Add-In) "
    "installed. Shutting down.";
static const char FilesHeldFormat[] =
    "The %s %s in the Add-In folder %s cannot be replaced because Microsoft Excel, or another "
    "program, still has %s open. Close Excel (if you have just closed it, wait a moment until it "
    "has finished), then click Retry. Cancel leaves the Add-In as it was.";

static const char StrandedFormat[] =
    "Setup could not put the new %s in place (error code=%d), and could not put every earlier file of "
    "the Add-In back either, because another program holds them. The Add-In folder %s now holds: %s. "
    "Close Excel and any other program that may have these files open, then run Setup again. Shutting "
    "down.";

static bool ExcelRunning;

// Window titles, read whole up to this many characters.
const int TitleCapacity = 512;

// A stop whose message is a format filled with up to three texts.
static int show_formatted_stop(const char *format, const char *first, const char *second = "",
                               const char *third = "")
{
    char text[MessageCapacity];
    format_text(text, sizeof text, format, first, second, third);
    return show_stop(text);
}

// what: "The path of " or the whole subject; name: what it names, or "".
static int show_too_long(const char *what, const char *name, const char *remedy)
{
    return show_formatted_stop(TooLongFormat, what, name, remedy);
}

// A path of the package's own that does not fit: the package must move.
static int show_package_too_long(const char *name)
{
    return show_too_long("The path of ", name, MovePackage);
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
    return show_formatted_stop("%s%s", reason, NoExcelText);
}

static int show_copy_failure(const char *folder, const ReplaceFailure &failure)
{
    char text[MessageCapacity * 2];
    if (failure.stranded[0] != '\0') {
        // Moving back failed too: the folder is no longer as it was, and the user must know
        // where the earlier files are.
        format_text(text, sizeof text, StrandedFormat, failure.name, (int)failure.code, folder, failure.stranded);
        return show_stop(text);
    }
    // Large enough for a joined path that did not fit a path buffer.
    char path[PathCapacity * 2];
    format_text(path, sizeof path, "%s%s", folder, failure.name);
    format_text(text, sizeof text, "CopyFile failed for %s with error code=%d", path, (int)failure.code);
    return show_stop(text);
}

static int show_library_mismatch(int excel_bits, int library_bits)
{
    // Room for the format, the path and every number, so nothing is cut.
    char text[sizeof LibraryMismatchFormat + PathCapacity + 5 * 8];
    format_text(text, sizeof text, LibraryMismatchFormat, ExcelPath, excel_bits, library_bits, excel_bits,
                library_bits, excel_bits);
    return show_stop(text);
}

// Every file the installer will copy or open must be there, whole, and free of a mark that
// makes Excel block macros, before anything is asked, made, deleted or copied: a package
// run from inside its zip, damaged, or downloaded and still marked would otherwise leave a
// working add-in broken, or installed and never set up. ExitDone when it may go on, with
// the path of each file of PackageFiles in paths and whether it holds the library for
// 64-bit Excel.
static int check_package(const char *SourceFolder, char (*paths)[PathCapacity], bool *has_library64)
{
    *has_library64 = false;
    for (size_t i = 0; i < ARRAYSIZE(PackageFiles); i++) {
        const char *name = PackageFiles[i];
        char *path = paths[i];
        // A path that does not fit is never taken for an absent file.
        if (!join_path(path, SourceFolder, name))
            return show_package_too_long(name);
        DWORD attributes = GetFileAttributesA(path);
        if (name == AddinLibrary64) {
            // Optional, but anything by its name must be a whole DLL for x86-64.
            if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
                continue;
            LibraryHeaders headers = read_library_headers(path);
            if (headers.machine != IMAGE_FILE_MACHINE_AMD64 || !headers.whole_dll)
                return show_formatted_stop(DamagedLibraryFormat, name);
            *has_library64 = true;
        } else if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return show_formatted_stop(MissingFileFormat, name);
        } else if (name == AddinLibrary && library_bits(read_library_headers(path).machine) == NoExcelBits) {
            // Whatever Excel is found, even one whose kind cannot be told.
            return show_formatted_stop(ForeignLibraryFormat, name);
        }
        // Never unmarked here: a program that clears the marks of whatever lies beside it
        // would run the macros of any workbook planted there.
        DownloadMark mark = download_mark(path);
        if (mark == MarkPathTooLong)
            return show_too_long("The path of the download mark of ", name, MovePackage);
        if (mark == MarkedBlocked) {
            // What the mark does, in words true of the file. kavorlib64.dll is copied for a
            // 64-bit Excel only, and Excel is not known yet.
            const char *effect = name == SetupWorkbook || name == AddinWorkbook ? "Excel blocks the macros of such files"
                                 : name == AddinLibrary64 ? "a 64-bit Excel's copy of it would keep that mark"
                                                          : "its copy in Excel's Add-In folder would keep that mark";
            return show_formatted_stop(MarkedFileFormat, name, effect);
        }
    }
    return ExitDone;
}

// The path that check_package gave for a file of PackageFiles.
static const char *package_path(char (*paths)[PathCapacity], const char *name)
{
    size_t i = 0;
    while (PackageFiles[i] != name)
        i++;
    return paths[i];
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
        int answer = show_message(RunningExcelText, MB_OKCANCEL | MB_ICONEXCLAMATION);
        if (answer == 0) // no box could be shown: asking again would loop for ever
            return ExitStopped;
        if (answer == IDCANCEL)
            return ExitCancelled;
    }
}

// Finds Excel through the association or Excel's own entries, else asks the user where
// EXCEL.EXE is, and cleans what it found into ExcelPath. ExcelClass: see locate_excel.
static int find_excel(char *ExcelClass)
{
    DiscoveryStatus status = locate_excel(ExcelClass);
    if (status == Found)
        return ExitDone;
    if (status == PathTooLong)
        return show_too_long("The .XLS registry entry", "",
                             "repair Microsoft Office from Windows' list of installed programs, then run "
                             "Setup again");
    if (status != AssociationEmpty && status != AssociationNotExcel)
        return show_association_stop(status);
    INT_PTR answer = DialogBoxParamA(NULL, IDD_WHERE_IS_EXCEL, NULL, where_is_excel_proc, 0);
    if (answer == -1) // the dialog could not be made: nobody cancelled
        return ExitStopped;
    if (answer == 0)
        return ExitCancelled;
    if (answer == WhereIsExcelPathTooLong)
        return show_too_long("The path of ", "EXCEL.EXE that you entered",
                             "run Setup again and enter the path of EXCEL.EXE alone, with nothing after it");
    clean_excel_command();
    return ExitDone;
}

// Excel loads only a library of its own kind, which for a 64-bit Excel is the 64-bit build
// when the package has one. Where either kind cannot be told, the copy goes ahead as it
// always did. The library to copy goes into library.
static int choose_library(char (*paths)[PathCapacity], bool has_library64, const char **library)
{
    int excel_bits = program_bits(ExcelPath);
    *library = package_path(paths, excel_bits == 64 && has_library64 ? AddinLibrary64 : AddinLibrary);
    int bits = library_bits(read_library_headers(*library).machine);
    if (excel_bits != UnknownBits && bits != UnknownBits && bits != excel_bits)
        return show_library_mismatch(excel_bits, bits);
    return ExitDone;
}

// Excel's major version from EXCEL.EXE, or from the user where it has none.
static int find_excel_version(int *ExcelMajorVersion)
{
    if (read_excel_major_version(ExcelMajorVersion) == Found)
        return ExitDone;
    int answer = show_message(VersionQuestionText, MB_YESNOCANCEL);
    if (answer == IDYES)
        *ExcelMajorVersion = FirstApplicationDataVersion;
    else if (answer == IDNO)
        *ExcelMajorVersion = 0;
    else // 0: no box could be shown, and nobody cancelled
        return answer == 0 ? ExitStopped : ExitCancelled;
    return ExitDone;
}

static int find_addin_folder(int ExcelMajorVersion, char *AddinFolder)
{
    DiscoveryStatus status = resolve_addin_folder(ExcelMajorVersion, AddinFolder);
    if (status == SpecialFolderServiceMissing)
        return show_stop("Unable to find Application Data folder, quitting.");
    if (status != Found)
        return show_too_long("The path of ", "the Add-In folder for Excel",
                             "ask whoever looks after this computer to give Excel an Add-In folder with a "
                             "shorter path, then run Setup again");
    return ExitDone;
}

// Excel keeps the add-in workbook it has loaded open, and for a moment more once its window
// has closed: the user closes it, waits and says when, as often as need be. Nothing else
// waits for the user, and nothing has changed yet.
static int wait_for_held_files(const char *AddinFolder)
{
    for (;;) {
        const char *held[ReplacedCount];
        size_t count = held_files(AddinFolder, held);
        if (count == 0)
            return ExitDone;
        int answer = show_files_held(FilesHeldFormat, held, count, AddinFolder);
        if (answer != IDRETRY)
            return answer == IDCANCEL ? ExitCancelled : ExitStopped;
    }
}

// Creates the add-in folder (only its last level: a missing parent ends in "Failed to
// create the folder") and puts the three files there, the library under its one name,
// which the add-in workbook declares; then, and only then, sweeps what earlier runs left.
static int install_files(char (*paths)[PathCapacity], const char *library, const char *AddinFolder)
{
    if (!CreateDirectoryA(AddinFolder, NULL) && GetLastError() != ERROR_ALREADY_EXISTS)
        return show_formatted_stop("Failed to create the folder %s", AddinFolder);
    const char *sources[ReplacedCount];
    for (size_t i = 0; i < ReplacedCount; i++)
        sources[i] = InstallerFileSet[i] == AddinLibrary ? library : package_path(paths, InstallerFileSet[i]);
    // A replacement that fails half-way would leave a broken add-in: the folder is whole
    // again before the message, or the message says what lies where.
    ReplaceFailure failure;
    if (!replace_files(sources, AddinFolder, &failure))
        return show_copy_failure(AddinFolder, failure);
    delete_leftovers(AddinFolder);
    return ExitDone;
}

// Each step gives ExitDone to go on, or the status to end with, its message shown; a step
// runs only while every step before it went on.
int main()
{
    restrict_dll_search();
    if (another_run_active(RunLockName))
        return show_already_running("Setup");
    char SourceFolder[PathCapacity];
    if (source_folder(SourceFolder) != Found)
        return show_package_too_long("the Setup program's folder");

    // Before the running-Excel question: closing Excel is no use for a package that
    // cannot work.
    char paths[ARRAYSIZE(PackageFiles)][PathCapacity];
    bool has_library64 = false;
    int status = check_package(SourceFolder, paths, &has_library64);
    // Each would open in Excel and do nothing, unseen.
    Handover setup = {package_path(paths, SetupWorkbook), SETUP_WORKBOOK ", which sets up the Add-In in Excel,",
                      "installation", "Setup"};
    Handover addin = {package_path(paths, AddinWorkbook), ADDIN_WORKBOOK ", the Add-In itself,", "installation",
                      "Setup"};
    if (status == ExitDone)
        status = check_location(SourceFolder, setup);
    if (status == ExitDone)
        status = running_excel_guard();
    // The class whose open command starts the Excel found; empty where Excel came from App
    // Paths or the dialog, and the hand-off then starts that EXCEL.EXE itself.
    char ExcelClass[AssociationCapacity];
    if (status == ExitDone)
        status = find_excel(ExcelClass);
    // As soon as Excel is known, before the version question, the folder or any copy.
    const char *library = NULL;
    if (status == ExitDone)
        status = choose_library(paths, has_library64, &library);
    int ExcelMajorVersion = 0;
    if (status == ExitDone)
        status = find_excel_version(&ExcelMajorVersion);
    if (status == ExitDone)
        status = check_excel_runs(ExcelMajorVersion, setup);
    if (status == ExitDone)
        status = check_addin_loads(ExcelMajorVersion, addin);
    char AddinFolder[PathCapacity];
    if (status == ExitDone)
        status = find_addin_folder(ExcelMajorVersion, AddinFolder);
    if (status == ExitDone)
        status = wait_for_held_files(AddinFolder);
    if (status == ExitDone)
        status = install_files(paths, library, AddinFolder);
    // To the Excel whose folder the files went to, never to whatever else ".xls" names:
    // with no Excel named in the dialog (Excel 97 or earlier), to none.
    if (status == ExitDone)
        open_document(setup.path, ExcelClass, ExcelPath);
    return status;
}
