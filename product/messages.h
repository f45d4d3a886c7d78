// How both programs speak to the user: message boxes with the product's caption and no
// owner window.
#pragma once

#include <windows.h>

#include "../discovery/discovery.h"
#include "product.h"

// The answer; 0 when no box could be shown.
inline int show_message(const char *text, UINT flags)
{
    return MessageBoxA(NULL, text, SetupCaption, flags);
}

// A stop: one message with OK and the exclamation icon, after which the program ends.
inline int show_stop(const char *text)
{
    show_message(text, MB_OK | MB_ICONEXCLAMATION);
    return ExitStopped;
}

// A second run of either program while the first still works or waits for an answer: their
// changes would interleave. program: what the user may run again.
inline int show_already_running(const char *program)
{
    char text[MessageCapacity];
    format_text(text, sizeof text,
                "The Add-In's Setup program or its uninstaller is already running. Finish it first (its window "
                "may be behind other windows), then run %s again if you still need to. Nothing has been changed. "
                "Shutting down.",
                program);
    return show_stop(text);
}

// Files of the add-in that another program holds open (Excel, as long as the add-in is
// loaded, and for a moment after its window closes), named in a message with Retry and
// Cancel. format takes "file" or "files", their names as a sentence lists them, the folder,
// and "it" or "them" twice. The answer: IDRETRY, IDCANCEL, or 0 when no box could be shown.
inline int show_files_held(const char *format, const char *const *names, size_t count, const char *folder)
{
    char listed[64];
    format_text(listed, sizeof listed, count == 1 ? "%s" : count == 2 ? "%s and %s" : "%s, %s and %s", names[0],
                count > 1 ? names[1] : "", count > 2 ? names[2] : "");
    const char *them = count == 1 ? "it" : "them";
    char text[MessageCapacity + PathCapacity];
    format_text(text, sizeof text, format, count == 1 ? "file" : "files", listed, folder, them, them);
    return show_message(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
}

// Microsoft 365 shares its major version with Excel 2016 to 2024: both names of a setting
// are given.
const int Microsoft365Version = 16;

// Excel 2007 and later would open the workbook that sets the add-in up, or removes it, and
// run none of its macros, telling nobody: set to disable all macros without notification,
// or to run only signed ones when the workbook's carry no signature. workbook: its name and
// what it does; job: "installation" or "uninstallation"; program: what the user runs again.
// A policy leaves the user nothing to do in Excel.
inline int show_macros_disabled(MacroSetting macros, bool by_policy, int ExcelMajorVersion, const char *workbook,
                                const char *job, const char *program)
{
    bool unsigned_only = macros == UnsignedMacrosDisabled;
    const char *set_by = by_policy ? " by your organization's policy" : "";
    char reason[MessageCapacity];
    if (unsigned_only)
        format_text(reason, sizeof reason,
                    "No digital signature was found on the macros of %s and Microsoft Excel is set%s to run only "
                    "digitally signed macros, so they would not run.",
                    workbook, set_by);
    else
        format_text(reason, sizeof reason,
                    "Microsoft Excel is set%s to disable all macros without notification, so the macros of %s "
                    "would not run.",
                    set_by, workbook);
    char remedy[MessageCapacity];
    if (by_policy)
        format_text(remedy, sizeof remedy,
                    "please ask your administrator to allow macros with notification%s; no setting in Excel itself "
                    "can change this",
                    unsigned_only ? ", or ask whoever supplied the Add-In for a package whose workbooks are signed"
                                  : "");
    else // Excel 2007 has its Office Button where later ones have the File tab; Microsoft 365 renamed the setting.
        format_text(remedy, sizeof remedy,
                    "in Excel, click %s > Trust Center > Trust Center Settings > Macro Settings, select \"Disable "
                    "all macros with notification\"%s and click OK, then run %s again and click \"Enable Content\" "
                    "when Excel asks",
                    ExcelMajorVersion == FirstTrustCenterVersion ? "the Office Button > Excel Options" : "File > Options",
                    ExcelMajorVersion >= Microsoft365Version
                        ? " (\"Disable VBA macros with notification\" in Microsoft 365)"
                        : "",
                    program);
    char text[MessageCapacity * 2];
    format_text(text, sizeof text, "%s The Add-In %s cannot continue: %s. Shutting down.", reason, job, remedy);
    return show_stop(text);
}
