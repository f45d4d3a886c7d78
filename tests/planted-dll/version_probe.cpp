// Imports VERSION.dll the ordinary way, so a test can see that Windows' search would
// pick up a planted copy beside it.
#include <windows.h>

int main()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    DWORD handle = 0;
    return (int)GetFileVersionInfoSizeA(path, &handle);
}
