// Finds Excel through the ".xls" association and the folder it loads add-ins from.
#pragma once

#include "../platform/platform.h"

// Where discovery stopped. PathTooLong: a joined path or text would not fit its buffer.
// AssociationNotExcel: ".xls" opens in another program (LibreOffice, WPS, OnlyOffice), and
// nothing else names Excel.
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

// Finds Excel: the program of the ".xls" association, cleaned into ExcelPath, unless its
// version resource names another program; then Excel's own class, then Windows' App Paths.
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
