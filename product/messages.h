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
