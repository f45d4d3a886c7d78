// The Where-is-Excel dialog's template name and the identifiers of its controls.
#pragma once

#define IDD_WHERE_IS_EXCEL "EXCELNOTFOUND"
#define IDC_EXCEL_PATH 100
#define IDC_BROWSE 101
