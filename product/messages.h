// How both programs speak to the user: message boxes with the product's caption and no
// owner window.
#pragma once

#include <windows.h>

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
