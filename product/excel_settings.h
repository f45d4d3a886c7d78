// What Excel's own settings say of the workbooks that the programs hand it: discovery reads
// them, the messages tell the user about them.
#pragma once

// Excel 2007 and later keep the Trust Center's macro setting in "VBAWarnings": 1 enables all
// macros, 2 disables them with notification, 3 all but digitally signed ones, 4 all without
// notification. Excel 2003 and earlier keep another setting ("Level"), which is not read.
const int FirstTrustCenterVersion = 12;

// What the Excel of a major version does with the macros of a workbook outside its trusted
// locations: runs them (or asks), runs only those that carry a digital signature, or runs
// none and tells nobody.
enum MacroSetting { MacrosMayRun, OnlySignedMacros, MacrosDisabled };

// Excel 2010 and later keep their File Block settings, which may refuse to open the Excel
// 97-2003 formats of the workbooks and the add-in, or open them in Protected View only.
const int FirstFileBlockVersion = 14;

// What File Block makes of a file: opened so that its content can be enabled, not opened at
// all, or opened in Protected View without editing, where no macro runs.
enum FileBlock { FileOpens, FileNotOpened, FileViewedOnly };
