// Calls USER32 the way the programs do, through its import slot, so that the import check
// can be shown two faults: the 32-bit linker's dropped delay-load stubs, and USER32
// imported the ordinary way.
#include <windows.h>

int main()
{
    return MessageBoxA(NULL, "", "", MB_OK);
}
