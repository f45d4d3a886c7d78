// addin-uninstall: finds Excel and opens the removal workbook in it, then deletes the
// add-in's three files from the folder Excel loads add-ins from, naming those Excel still
// holds open until the user has closed it; or tells the user how to do it by hand.
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

// Names the files still there after a pass, and where, and asks the user to close Excel.
// The answer: IDRETRY, IDCANCEL, or 0 when no box could be shown.
static int show_files_in_use(const char *const *left, size_t count, const char *AddinFolder)
{
    static const char Format[] =
        "The %s %s could not be deleted from the Add-In folder %s because Microsoft Excel, or "
        "another program, still has %s open. Let the removal workbook finish in Excel (click \"Enable "
        "Content\" if Excel asks), close Excel, then click Retry. Cancel leaves %s in that folder.";
    char names[64];
    format_text(names, sizeof names, count == 1 ? "%s" : count == 2 ? "%s and %s" : "%s, %s and %s", left[0],
                count > 1 ? left[1] : "", count > 2 ? left[2] : "");
    const char *them = count == 1 ? "it" : "them";
    char text[sizeof Format + sizeof names + PathCapacity];
    format_text(text, sizeof text, Format, count == 1 ? "file" : "files", names, AddinFolder, them, them);
    return show_message(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
}

// A missing removal workbook is no stop. A marked one is: Excel would block its macros,
// and the add-in would stay registered in Excel after its files are gone, to be missed at
// every start of Excel. It is never unmarked here (see the installer's package check).
// ExitDone when the uninstaller may go on, with whether the workbook is there.
static int check_removal_workbook(const char *workbook, bool *present)
{
    *present = GetFileAttributesA(workbook) != INVALID_FILE_ATTRIBUTES;
    if (!*present)
        return ExitDone;
    switch (download_mark(workbook)) {
    case MarkPathTooLong:
        return show_stop("The path of " REMOVAL_WORKBOOK " is too long for the uninstaller. The Add-In "
                         "uninstallation cannot continue: move the package to a folder with a shorter "
                         "path and run " UNINSTALLER_PROGRAM " from there. Shutting down.");
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
    char SourceFolder[PathCapacity];
    if (source_folder(SourceFolder) != Found)
        return show_manual_removal_message();

    char workbook[PathCapacity];
    bool have_workbook = join_path(workbook, SourceFolder, RemovalWorkbook);
    if (have_workbook) {
        int check = check_removal_workbook(workbook, &have_workbook);
        if (check != ExitDone)
            return check;
    }

    // Only Excel can run the removal workbook: with no Excel found, it goes to nobody.
    char ExcelClass[AssociationCapacity];
    if (locate_excel(ExcelClass) != Found)
        return show_manual_removal_message();
    // Excel runs the removal workbook; nothing waits for it.
    if (have_workbook)
        open_document(workbook, ExcelClass, ExcelPath);

    int ExcelMajorVersion = 0;
    if (read_excel_major_version(&ExcelMajorVersion) != Found)
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
        if (count == 0)
            return ExitDone;
        int answer = show_files_in_use(left, count, AddinFolder);
        if (answer != IDRETRY)
            return answer == IDCANCEL ? ExitCancelled : ExitStopped;
    }
}
