// Whether the Excel found would run the workbook that a program hands it, and load the
// add-in: each setting that says no is a stop, before any change, that names the file, says
// why and what to do. Each check gives ExitDone to go on, or the stop's status, its message
// shown.
#pragma once

// A workbook that Excel must open and run, as the messages name it.
struct Handover {
    const char *path;      // the workbook's path
    const char *described; // its name and what it is, set off by commas: "addinsetup.xls, which sets up the Add-In in Excel,"
    const char *job;       // "installation" or "uninstallation"
    const char *program;   // what the user runs again: "Setup" or the uninstaller's name
};

// Excel blocks the macros of a workbook in a folder that Windows counts as the Internet or
// Restricted sites zone (a share named by its address or a dotted name), whatever the file
// carries. folder: the package's, which the user can copy.
int check_location(const char *folder, const Handover &workbook);

// The workbook must open so that its macros can run in the Excel of this major version:
// VBA not turned off, its file type not blocked, its macros allowed (signed, where only
// signed ones run).
int check_excel_runs(int ExcelMajorVersion, const Handover &workbook);

// The add-in workbook must load there too: its file type not blocked, and signed where a
// policy loads only signed add-ins.
int check_addin_loads(int ExcelMajorVersion, const Handover &addin);
