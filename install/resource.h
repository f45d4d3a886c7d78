// Identifiers of the Where-is-Excel dialog's controls.
#pragma once

#define IDC_EXCEL_PATH 100
#define IDC_BROWSE 101
