// The delay-loaded DLLs (cmake/LeanStart.cmake) are bound at the first call
// into each: the helper stores the function's address in the import table.
// Binutils 2.44 and later (Debian 13's MinGW-w64) link that table into a
// read-only section, where the store faults on the program's first call
// into comctl32 or the shell: the slot is made writable before it.
#include <windows.h>

#include <delayimp.h>

namespace {

FARPROC WINAPI BeforeDelayLoad(unsigned notification, PDelayLoadInfo info)
{
    if (notification == dliStartProcessing && info && info->ppfn) {
        DWORD previous;
        VirtualProtect(info->ppfn, sizeof *info->ppfn, PAGE_READWRITE, &previous);
    }
    return nullptr;
}

}  // namespace

// The helper's own hook, called at each step of a delay load (declared
// extern "C" by delayimp.h).
PfnDliHook __pfnDliNotifyHook2 = BeforeDelayLoad;
