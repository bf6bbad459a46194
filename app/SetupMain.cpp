// tavro-setup: what a handheld's installer does for Tavro, placing both
// launch shortcuts in the Start menu's Programs folder. Built beside the
// program and run by ./tavro once for a new Wine prefix.
// Exit code 0 when the main shortcut is in place afterwards, 1 otherwise.
#include <windows.h>

#include "config/Shortcuts.h"
#include "platform/WideCrt.h"

namespace {

const WCHAR ProgramFileName[] = L"tavro.exe";

// The program sits in the same folder as this setup program.
bool ProgramBesideSetup(WCHAR (&program)[MAX_PATH])
{
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return false;
    WCHAR* nameStart = program;
    for (WCHAR* c = program; *c; ++c)
        if (*c == L'\\' || *c == L'/')
            nameStart = c + 1;
    *nameStart = 0;
    return WideAppend(program, MAX_PATH, ProgramFileName);
}

}  // namespace

int main()
{
    WCHAR program[MAX_PATH];
    if (!ProgramBesideSetup(program))
        return 1;
    CreateShortcutsFor(program, false);
    return CreateShortcutsFor(program, true) ? 1 : 0;
}
