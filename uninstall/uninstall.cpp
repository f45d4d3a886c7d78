// addin-uninstall: opens the removal workbook, then deletes the add-in's three files
// from the folder Excel loads add-ins from, or tells the user how to do it by hand.
#include "../discovery/discovery.h"
#include "../product/product.h"

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
    MessageBoxA(NULL, text, SetupCaption, MB_YESNOCANCEL);
    return ExitStopped;
}

int main()
{
    restrict_dll_search();
    char SourceFolder[PathCapacity];
    if (source_folder(SourceFolder) != Found)
        return show_manual_removal_message();

    // Excel runs the removal workbook; nothing waits for it, and a missing one is no stop.
    char workbook[PathCapacity];
    if (join_path(workbook, SourceFolder, RemovalWorkbook))
        open_document(workbook);

    if (locate_excel() != Found)
        return show_manual_removal_message();
    clean_excel_command();
    int ExcelMajorVersion = 0;
    if (read_excel_major_version(&ExcelMajorVersion) != Found)
        return show_manual_removal_message();
    char AddinFolder[PathCapacity];
    if (resolve_addin_folder(ExcelMajorVersion, AddinFolder) != Found)
        return show_manual_removal_message();

    // A file that may still be there afterwards (in use, say) is reported to a deploying
    // script by the exit status alone; one that was already gone counts as deleted.
    int result = ExitDone;
    for (const char *name : UninstallerFileSet) {
        char path[PathCapacity];
        if (!join_path(path, AddinFolder, name))
            return show_manual_removal_message();
        if (!delete_file(path))
            result = ExitStopped;
    }
    return result;
}
