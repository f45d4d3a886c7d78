// The product's own facts, each written once. Both programs and their resource scripts
// include this file; the build (product_fact in CMakeLists.txt) and the tools
// (product/facts.sh) read its quoted values by name.
#pragma once

// The add-in's name as Excel lists it (Tools > Add-Ins), which the user ticks.
#define ADDIN_DISPLAY_NAME "Kavor Interface"
// Caption of every message box of both programs, and the product's name wherever one is
// shown: the version resource, the manifest, the signature. Written whole, not built on
// ADDIN_DISPLAY_NAME: the build and the tools read each value here as one quoted text.
#define SETUP_CAPTION "Kavor Interface Add-In Setup"

// The two programs, under the names they ship with.
#define INSTALLER_PROGRAM "addin-install.exe"
#define UNINSTALLER_PROGRAM "addin-uninstall.exe"

// The files that ship beside the programs, under exactly these names. "copied": one of the
// add-in's three files, which the installer copies and the uninstaller deletes.
#define ADDIN_LIBRARY "kavorlib.dll"     // shipped, copied: the add-in's library
#define ADDIN_WORKBOOK "kavorlib.xla"    // shipped, copied: the Excel add-in workbook
#define ADDIN_HELP "kavor.hlp"           // shipped, copied: the add-in's help file
#define SETUP_WORKBOOK "addinsetup.xls"  // shipped: opened in Excel after installing
#define REMOVAL_WORKBOOK "DEL_ADDIN.XLS" // shipped: opened in Excel when uninstalling
// May ship besides: the library for 64-bit Excel, which the installer then copies under
// the name of ADDIN_LIBRARY for a 64-bit Excel.
#define ADDIN_LIBRARY_64 "kavorlib64.dll" // optional: the add-in's library for 64-bit Excel

#ifndef RC_INVOKED
// How to take the mark of the web off a downloaded package, in every message that asks for
// it; each message ends the sentence with the program to run again.
#define UNBLOCK_STEPS                                                                             \
    "To unblock the package, right-click the downloaded zip file, click Properties, tick "      \
    "\"Unblock\" and click OK; then extract the zip file again"
// How to run a program from the whole package rather than from inside its zip file; each
// message ends the sentence with the program and where it runs from.
#define EXTRACT_STEPS                                                                             \
    "Extract the whole zip file of this package first (right-click it, then click \"Extract "    \
    "All\"), and run "

inline constexpr char SetupCaption[] = SETUP_CAPTION;
inline constexpr char AddinLibrary[] = ADDIN_LIBRARY;
inline constexpr char AddinLibrary64[] = ADDIN_LIBRARY_64;
inline constexpr char AddinWorkbook[] = ADDIN_WORKBOOK;
inline constexpr char AddinHelp[] = ADDIN_HELP;
inline constexpr char SetupWorkbook[] = SETUP_WORKBOOK;
inline constexpr char RemovalWorkbook[] = REMOVAL_WORKBOOK;

// The uninstaller has always named the add-in workbook in capitals; Windows compares file
// names without regard to case, so both sets name the same files. Kept as it is.
inline constexpr char AddinWorkbookCapitals[] = "KAVORLIB.XLA";

// The add-in's three files, in the order each program copies or deletes them.
inline constexpr const char *InstallerFileSet[] = {AddinLibrary, AddinWorkbook, AddinHelp};
inline constexpr const char *UninstallerFileSet[] = {AddinLibrary, AddinWorkbookCapitals, AddinHelp};

// Every file the installer copies or opens, in the order it checks them: the workbooks
// first, whose marks of the web make Excel block their macros, so that a package whose
// every file is marked is told by its setup workbook.
inline constexpr const char *PackageFiles[] = {SetupWorkbook, AddinWorkbook, AddinLibrary, AddinLibrary64,
                                               AddinHelp};

// The mutex that either program holds while it runs, one run at a time in the user's session.
inline constexpr char RunLockName[] = "Local\\" SETUP_CAPTION;

// The programs' exit status, for scripts that deploy the add-in.
enum ExitStatus {
    ExitDone = 0,
    ExitStopped = 1, // stopped with a message, or no message could be shown
    // the user cancelled: running-Excel message, dialog, version question, or the
    // uninstaller's message for files still held open, which are left where they are
    ExitCancelled = 2,
};
#endif
