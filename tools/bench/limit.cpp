// The least an install (or, built with LIMIT_UNINSTALL, an uninstall) can do, for the
// benchmark: only the calls no setup program can avoid, with no discovery, no checks and
// no messages.
//   install:   create the add-in folder, copy the three files, hand addinsetup.xls to the shell
//   uninstall: hand DEL_ADDIN.XLS to the shell, delete the three files
// Usage: limit-install|limit-uninstall SOURCE_FOLDER\ ADDIN_FOLDER\ (folders given whole)
#include "../../product/product.h"
#include "../../platform/platform.h"

// As the shipped programs do it, since Windows asks it of a caller that exits at once:
// through the class that ".xls" names, which the shipped programs find to be Excel's. The
// shell opens nothing without a class or a program named.
static bool hand_to_shell(const char *folder, const char *name)
{
    char workbook[PathCapacity];
    char excel_class[AssociationCapacity];
    HKEY key;
    if (!join_path(workbook, folder, name) || RegOpenKeyA(HKEY_CLASSES_ROOT, ".xls", &key) != ERROR_SUCCESS)
        return false;
    LONG result = read_reg_value(key, NULL, excel_class, AssociationCapacity);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return false;
    open_document(workbook, excel_class, "");
    return true;
}

int main(int, char **argv)
{
    // As the shipped programs do: with the DLL search kept to Windows' own folder, the many
    // DLLs the shell loads are found there at once instead of being looked for here first.
    restrict_dll_search();
    const char *source = argv[1], *addins = argv[2];
    char path[PathCapacity];
    // A path that does not fit ends the run (exit status 1), which the benchmark refuses.
#ifdef LIMIT_UNINSTALL
    if (!hand_to_shell(source, RemovalWorkbook))
        return 1;
    for (const char *name : InstallerFileSet) {
        if (!join_path(path, addins, name))
            return 1;
        DeleteFileA(path);
    }
#else
    CreateDirectoryA(addins, NULL);
    for (const char *name : InstallerFileSet) {
        char copy[PathCapacity];
        if (!join_path(path, source, name) || !join_path(copy, addins, name))
            return 1;
        CopyFileA(path, copy, FALSE);
    }
    if (!hand_to_shell(source, SetupWorkbook))
        return 1;
#endif
    return 0;
}
