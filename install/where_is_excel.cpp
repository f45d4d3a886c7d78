// The Where-is-Excel dialog: asks the user for the path of EXCEL.EXE.
#include "where_is_excel.h"

#include "../discovery/discovery.h"
#include "resource.h"

#include <commdlg.h>
#include <cderr.h>

static void browse_for_excel(HWND dialog)
{
    // Taken from the system folder when first needed, never from beside the program.
    auto get_open_file_name = SYSTEM_FUNCTION("comdlg32.dll", GetOpenFileNameA);
    if (get_open_file_name == NULL)
        return;
    auto dialog_error = SYSTEM_FUNCTION("comdlg32.dll", CommDlgExtendedError);

    OPENFILENAMEA record = {};
    // The record without the fields Windows 2000 added: 76 bytes in the 32-bit programs, as
    // the dialog has always passed it; the x86-64 build gets that record's own size.
    record.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    record.hwndOwner = dialog;
    record.lpstrFilter = "Executable Files (*.exe)\0*.exe\0";
    record.lpstrFile = ExcelPath;
    record.nMaxFile = PathCapacity;
    record.lpstrTitle = "Find EXCEL.EXE";
    record.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;
    record.lpstrDefExt = "EXE";
    if (get_open_file_name(&record)) {
        SetDlgItemTextA(dialog, IDC_EXCEL_PATH, ExcelPath);
    } else if (dialog_error != NULL && dialog_error() == FNERR_BUFFERTOOSMALL) {
        // Windows then leaves the needed size in the buffer's first bytes, not a name.
        ExcelPath[0] = '\0';
    }
}

INT_PTR CALLBACK where_is_excel_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    if (message == WM_CLOSE) {
        EndDialog(dialog, 0);
        return TRUE;
    }
    if (message != WM_COMMAND)
        return FALSE;

    switch (LOWORD(wparam)) {
    case IDOK: {
        // GetWindowTextLengthA promises only an upper bound, so the length is judged by what
        // is read. A read may stop short of a character that does not fit whole: with twice
        // the room, a path too long for ExcelPath still reads as too long, and is refused,
        // never cut.
        char typed[PathCapacity * 2] = "";
        GetDlgItemTextA(dialog, IDC_EXCEL_PATH, typed, sizeof typed);
        EndDialog(dialog, copy_text(ExcelPath, PathCapacity, typed) ? 1 : WhereIsExcelPathTooLong);
        return TRUE;
    }
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE:
        browse_for_excel(dialog);
        return TRUE;
    }
    return FALSE;
}
