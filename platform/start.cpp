// Where the shipped programs start, in place of the C runtime's start-up code, which is a
// fifth of each: they read no arguments, no environment and no standard streams, use no
// thread-local storage, floating point or signals, and import no data from a DLL (which
// would need the runtime's pseudo-relocations; the link refuses it, and the release check
// refuses a TLS directory). msvcrt sets itself up when it loads.
// Built without link-time optimisation: the compiler calls __main from main only after
// that has run.
#include <windows.h>

int main();
extern "C" void (*__CTOR_LIST__[])();

// The compiler calls this first thing in main, to run the constructors of static objects
// (the programs have none; the linker lists them between -1 and 0), the last first.
extern "C" void __main()
{
    size_t count = 0;
    while (__CTOR_LIST__[count + 1] != NULL)
        count++;
    while (count > 0)
        __CTOR_LIST__[count--]();
}

// Windows enters with the stack aligned to 4 bytes on i386, and the compiler assumes 16,
// which the runtime's start-up code restored before main: this start restores it too.
#if defined(__i386__)
#define REALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define REALIGN_STACK
#endif

extern "C" REALIGN_STACK void program_start()
{
    ExitProcess(main());
}
