// Finds Excel through the ".xls" association and the folder it loads add-ins from.
#pragma once

#include "../platform/platform.h"
#include "../product/excel_settings.h"

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

// The macro setting of the Excel of this major version, from the first of its homes that sets
// it, in the order Excel reads them: a cloud policy, a group policy, the user's own.
// by_policy: it comes from a policy, which the user cannot change.
MacroSetting read_macro_setting(int ExcelMajorVersion, bool *by_policy);

// Whether the Excel of this major version would open a file of a type that its File Block
// settings name (file_type: the value's name, "XL97WorkbooksandTemplates" or "XL97AddIns"),
// read from the same homes in the same order. by_policy: as above.
FileBlock read_file_block(int ExcelMajorVersion, const char *file_type, bool *by_policy);

// Whether a policy turns VBA off in Office ("VBAOff" of the computer's policy).
bool vba_turned_off(int ExcelMajorVersion);

// Whether a policy lets Excel load only add-ins signed by a trusted publisher
// ("RequireAddinSig").
bool addins_must_be_signed(int ExcelMajorVersion);
