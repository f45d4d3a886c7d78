// The benchmark's baselines, built with the shipped flags: a console program that does
// nothing, or ("shell") only loads SHELL32 with USER32 and what they need.
#include <windows.h>

int main(int argc, char **)
{
    if (argc > 1)
        LoadLibraryA("shell32.dll");
    return 0;
}
