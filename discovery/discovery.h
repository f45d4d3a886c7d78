// Finds Excel through the ".xls" association and the folder it loads add-ins from.
#pragma once

#include "../platform/platform.h"

// Where discovery stopped. PathTooLong: a joined path or text would not fit its buffer.
// AssociationNotExcel: ".xls" opens in another program (LibreOffice, WPS, OnlyOffice) or in
// one that is no longer there, and nothing else names an Excel that is there.
enum DiscoveryStatus {
    Found,
    AssociationKeyMissing,
    AssociationUnreadable,
    AssociationEmpty,
    OpenCommandMissing,
    OpenCommandUnreadable,
    VersionUnavailable,
    SpecialFolderServiceMissing,
    PathTooLong,
    AssociationNotExcel
};

// Below this major version Excel keeps add-ins in the registry's "AddIn Path" or Library.
const int FirstApplicationDataVersion = 9;

// The open command of the association, then the cleaned path of EXCEL.EXE, its letters A to
// Z lower-cased.
// Process-wide: the installer's dialog writes into it.
extern char ExcelPath[PathCapacity];

// Drive and directory of the running program, ending with a backslash.
DiscoveryStatus source_folder(char *SourceFolder);

// Finds Excel: the program of the ".xls" association, cleaned into ExcelPath, unless it is
// not there or its version resource names another program; then Excel's own class, then
// Windows' App Paths.
// ExcelClass (AssociationCapacity bytes) names the class whose open command starts that
// Excel, or is empty where Excel came from App Paths. On AssociationEmpty ExcelClass is
// empty; on AssociationNotExcel ExcelPath is too.
DiscoveryStatus locate_excel(char *ExcelClass);

// Turns ExcelPath into the executable's path, A to Z lower-cased, in place.
void clean_excel_command();

// Found, or VersionUnavailable: no version resource, or none with a fixed record.
DiscoveryStatus read_excel_major_version(int *ExcelMajorVersion);

// AddinFolder always ends with a backslash when Found comes back.
DiscoveryStatus resolve_addin_folder(int ExcelMajorVersion, char *AddinFolder);

// Excel 2007 and later keep the Trust Center's macro setting in "VBAWarnings": 1 enables all
// macros, 2 disables them with notification, 3 all but digitally signed ones, 4 all without
// notification. Excel reads it from a cloud policy first, then a group policy, then the
// user's own. Excel 2003 and earlier keep another setting ("Level"), which is not read.
const int FirstTrustCenterVersion = 12;
// What the Excel of this major version would do with the macros of workbook, outside its
// trusted locations: run them, or silence them and tell nobody, because it runs none (4)
// or only signed ones and the workbook's carry no signature (3).
enum MacroSetting { MacrosMayRun, UnsignedMacrosDisabled, MacrosDisabled };
// by_policy: the setting that silences them comes from a policy, which the user cannot change.
MacroSetting read_macro_setting(int ExcelMajorVersion, const char *workbook, bool *by_policy);
