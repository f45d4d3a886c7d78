// A stranger's "version.dll" planted beside a program: it leaves "planted-version-loaded.txt"
// beside itself when a process loads it, and answers as if no file had a version.
#include <windows.h>

#include <stdio.h>
#include <string.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        char mark[MAX_PATH + 32];
        DWORD length = GetModuleFileNameA(instance, mark, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            strcpy(strrchr(mark, '\\') + 1, "planted-version-loaded.txt");
            FILE *file = fopen(mark, "ab");
            if (file != NULL) {
                fputs("loaded\n", file);
                fclose(file);
            }
        }
    }
    return TRUE;
}

extern "C" {
__declspec(dllexport) DWORD WINAPI GetFileVersionInfoSizeA(LPCSTR, LPDWORD) { return 0; }
__declspec(dllexport) BOOL WINAPI GetFileVersionInfoA(LPCSTR, DWORD, DWORD, LPVOID) { return FALSE; }
__declspec(dllexport) BOOL WINAPI VerQueryValueA(LPCVOID, LPCSTR, LPVOID *, PUINT) { return FALSE; }
}
