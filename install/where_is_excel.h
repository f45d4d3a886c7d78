// The Where-is-Excel dialog: asks the user for the path of EXCEL.EXE.
#pragma once

#include <windows.h>

// EndDialog values besides 1 (OK) and 0 (Cancel or closed): the typed path would not
// fit ExcelPath whole.
const INT_PTR WhereIsExcelPathTooLong = 2;

// Dialog procedure of the "EXCELNOTFOUND" template; OK leaves the typed text in ExcelPath.
INT_PTR CALLBACK where_is_excel_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
