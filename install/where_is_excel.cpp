// The Where-is-Excel dialog: asks the user for the path of EXCEL.EXE.
#include "where_is_excel.h"

#include "../discovery/discovery.h"
#include "resource.h"

#include <commdlg.h>
#include <cderr.h>

typedef BOOL(WINAPI *OpenFileNameFunction)(LPOPENFILENAMEA);
typedef DWORD(WINAPI *DialogErrorFunction)(void);

static void browse_for_excel(HWND dialog)
{
    // Taken from the system folder when first needed, never from beside the program; it
    // stays loaded for the next Browse.
    HMODULE dialogs;
    FARPROC open_function = find_function("comdlg32.dll", "GetOpenFileNameA", &dialogs);
    if (open_function == NULL)
        return;
    OpenFileNameFunction get_open_file_name = as_function<OpenFileNameFunction>(open_function);
    DialogErrorFunction dialog_error =
        as_function<DialogErrorFunction>(GetProcAddress(dialogs, "CommDlgExtendedError"));

    OPENFILENAMEA record = {};
    // The size Windows 95 and NT 4 know; each build target gets its own value.
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
    case IDOK:
        // A longer text would be cut short by GetDlgItemTextA.
        if (GetWindowTextLengthA(GetDlgItem(dialog, IDC_EXCEL_PATH)) >= (int)PathCapacity) {
            EndDialog(dialog, WhereIsExcelPathTooLong);
            return TRUE;
        }
        GetDlgItemTextA(dialog, IDC_EXCEL_PATH, ExcelPath, PathCapacity);
        EndDialog(dialog, 1);
        return TRUE;
    case IDCANCEL:
        EndDialog(dialog, 0);
        return TRUE;
    case IDC_BROWSE:
        browse_for_excel(dialog);
        return TRUE;
    }
    return FALSE;
}
