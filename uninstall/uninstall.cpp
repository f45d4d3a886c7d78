// addin-uninstall: finds Excel and opens the removal workbook in it, then deletes the
// add-in's three files from the folder Excel loads add-ins from, naming those Excel still
// holds open until the user has closed it; or tells the user how to do it by hand. It stops
// before anything when the removal workbook could not run in that Excel.
#include "../checks/excel_runs.h"
#include "../discovery/discovery.h"
#include "../product/messages.h"

static int show_manual_removal_message()
{
    char text[MessageCapacity];
    // Names two of the three files, as the message always has: kept as it is.
    format_text(text, sizeof text,
                "The uninstallation script had trouble finding the Add-Ins folder for Microsoft "
                "Excel. The %s Add-In for Excel will not be uninstalled automatically. To delete "
                "the Add-In, use Explorer to search for %s. If/when found, delete the files %s "
                "and KAVORLIB.DLL.",
                "Kavor", AddinWorkbookCapitals, AddinWorkbookCapitals);
    // Any answer ends the program the same way.
    show_message(text, MB_YESNOCANCEL);
    return ExitStopped;
}

// The files still there after a pass, and where.
static const char FilesInUseFormat[] =
    "The %s %s could not be deleted from the Add-In folder %s because Microsoft Excel, or another "
    "program, still has %s open. Let the removal workbook finish in Excel (click \"Enable Content\" if "
    "Excel asks), close Excel, then click Retry. Cancel leaves %s in that folder.";

static int show_too_long()
{
    return show_stop("The path of " REMOVAL_WORKBOOK " is too long for the uninstaller. The Add-In "
                     "uninstallation cannot continue: move the package to a folder with a shorter path "
                     "and run " UNINSTALLER_PROGRAM " from there. Shutting down.");
}

// The removal workbook must be there, and free of a mark that makes Excel block its
// macros: without it the add-in would stay registered in Excel after its files are gone,
// to be missed at every start of Excel. Opening the uninstaller inside a zip file in
// Explorer extracts that one file alone. The workbook is never unmarked here (see the
// installer's package check). ExitDone when the uninstaller may go on.
static int check_removal_workbook(const char *workbook)
{
    DWORD attributes = GetFileAttributesA(workbook);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return show_stop("The file " REMOVAL_WORKBOOK " is missing from the folder of " UNINSTALLER_PROGRAM
                         ", and without it the Add-In would stay registered in Excel after its files are "
                         "deleted. The Add-In uninstallation cannot continue. " EXTRACT_STEPS UNINSTALLER_PROGRAM
                         " from the extracted folder: it cannot be run from inside the zip file. Shutting down.");
    switch (download_mark(workbook)) {
    case MarkPathTooLong:
        return show_too_long();
    case MarkedBlocked:
        return show_stop("Windows has marked the file " REMOVAL_WORKBOOK " as downloaded from the "
                         "Internet, and Excel blocks the macros of such files: the Add-In would stay "
                         "registered in Excel after its files are deleted. The Add-In uninstallation "
                         "cannot continue. " UNBLOCK_STEPS " and run " UNINSTALLER_PROGRAM " from the "
                         "new folder. Shutting down.");
    default:
        return ExitDone;
    }
}

int main()
{
    restrict_dll_search();
    if (another_run_active(RunLockName))
        return show_already_running(UNINSTALLER_PROGRAM);
    char SourceFolder[PathCapacity];
    if (source_folder(SourceFolder) != Found)
        return show_manual_removal_message();

    char workbook[PathCapacity];
    if (!join_path(workbook, SourceFolder, RemovalWorkbook))
        return show_too_long();
    int check = check_removal_workbook(workbook);
    Handover removal = {workbook, REMOVAL_WORKBOOK ", which removes the Add-In from Excel,", "uninstallation",
                        UNINSTALLER_PROGRAM};
    if (check == ExitDone)
        check = check_location(SourceFolder, removal);
    if (check != ExitDone)
        return check;

    // Only Excel can run the removal workbook: with no Excel found, it goes to nobody.
    char ExcelClass[AssociationCapacity];
    if (locate_excel(ExcelClass) != Found)
        return show_manual_removal_message();
    // An Excel that runs no macro and says nothing would leave the add-in registered.
    int ExcelMajorVersion = 0;
    bool have_version = read_excel_major_version(&ExcelMajorVersion) == Found;
    if (have_version) {
        check = check_excel_runs(ExcelMajorVersion, removal);
        if (check != ExitDone)
            return check;
    }
    // Excel runs the removal workbook; nothing waits for it. Without its version the files
    // are then the user's to delete.
    open_document(workbook, ExcelClass, ExcelPath);
    if (!have_version)
        return show_manual_removal_message();
    char AddinFolder[PathCapacity];
    if (resolve_addin_folder(ExcelMajorVersion, AddinFolder) != Found)
        return show_manual_removal_message();

    // Excel holds a loaded add-in's files open until it ends, and cannot be asked to let
    // go: the user closes it and says when, as often as need be. Nothing else waits.
    for (;;) {
        const char *left[ARRAYSIZE(UninstallerFileSet)];
        size_t count = 0;
        for (const char *name : UninstallerFileSet) {
            char path[PathCapacity];
            if (!join_path(path, AddinFolder, name))
                return show_manual_removal_message();
            DeleteResult result = delete_file(path);
            // A folder Windows cannot even look into: the user is told where to look.
            if (result == FileInDoubt)
                return show_manual_removal_message();
            if (result == FileStillThere)
                left[count++] = name;
        }
        // The earlier copies that the installer could not delete go with the add-in.
        if (count == 0) {
            delete_leftovers(AddinFolder);
            return ExitDone;
        }
        int answer = show_files_held(FilesInUseFormat, left, count, AddinFolder);
        if (answer != IDRETRY)
            return answer == IDCANCEL ? ExitCancelled : ExitStopped;
    }
}
