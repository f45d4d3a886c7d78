// The product's own facts, shared by both programs, their tests, the benchmark's limit
// programs and the tools (which read the lines marked "shipped").
#pragma once

// Caption of every message box of both programs.
inline constexpr char SetupCaption[] = "Kavor Interface Add-In Setup";

// The programs' exit status, for scripts that deploy the add-in.
enum ExitStatus {
    ExitDone = 0,
    ExitStopped = 1,   // stopped with a message, or (uninstaller) a file could not be deleted
    ExitCancelled = 2, // the user cancelled: running-Excel message, dialog, version question
};

// The files that ship beside the programs, under exactly these names.
inline constexpr char AddinLibrary[] = "kavorlib.dll";   // shipped
inline constexpr char AddinWorkbook[] = "kavorlib.xla";  // shipped
inline constexpr char AddinHelp[] = "kavor.hlp";         // shipped
inline constexpr char SetupWorkbook[] = "addinsetup.xls"; // shipped
inline constexpr char RemovalWorkbook[] = "DEL_ADDIN.XLS"; // shipped

// The uninstaller has always named the add-in workbook in capitals; Windows compares file
// names without regard to case, so both sets name the same files. Kept as it is.
inline constexpr char AddinWorkbookCapitals[] = "KAVORLIB.XLA";

// The add-in's three files, in the order each program copies or deletes them.
inline constexpr const char *InstallerFileSet[] = {AddinLibrary, AddinWorkbook, AddinHelp};
inline constexpr const char *UninstallerFileSet[] = {AddinLibrary, AddinWorkbookCapitals, AddinHelp};
