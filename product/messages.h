// How both programs speak to the user: message boxes with the product's caption and no
// owner window.
#pragma once

#include <windows.h>

#include "../platform/platform.h"
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

// Excel 2007 and later set to disable all macros without notification would open the
// workbook that sets the add-in up, or removes it, and run nothing of it, telling nobody.
// workbook: its name and what it does; job: "installation" or "uninstallation"; steps: what
// the user does in Excel, ending with the program to run again. A policy leaves the user
// nothing to do but ask.
#define MACRO_SETTINGS_STEPS                                                                      \
    "in Excel, click File > Options > Trust Center > Trust Center Settings > Macro Settings, "   \
    "select \"Disable all macros with notification\" and click OK, then run "
inline int show_macros_disabled(bool by_policy, const char *workbook, const char *job, const char *steps)
{
    char text[MessageCapacity];
    format_text(text, sizeof text,
                "Microsoft Excel is set%s to disable all macros without notification, so the macros of %s "
                "would not run. The Add-In %s cannot continue: %s. Shutting down.",
                by_policy ? " by your organization's policy" : "", workbook, job,
                by_policy ? "please ask your administrator to allow macros with notification; no setting in "
                            "Excel itself can change this"
                          : steps);
    return show_stop(text);
}
