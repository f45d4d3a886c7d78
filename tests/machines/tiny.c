/* A tiny program, or with TINY_LIBRARY a tiny library, built for each machine: an Excel
   and an add-in library of either kind, 32-bit or 64-bit, for the installer to judge. */
#ifdef TINY_LIBRARY
__declspec(dllexport) int kavor_library_marker;
#else
int main(void)
{
    return 0;
}
#endif
