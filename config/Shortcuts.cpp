#include "config/Shortcuts.h"

#include <shlobj.h>

#include "platform/ShellShortcut.h"
#include "platform/WideCrt.h"

const WCHAR MainShortcutName[] = L"\\Tavro.lnk";

namespace {

const WCHAR ConfigShortcutName[] = L"\\Tavro Config.lnk";

const WCHAR ConfigArguments[] = L" -config";

bool FileFound(const WCHAR* path)
{
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    FindClose(search);
    return true;
}

struct ShortcutPlan {
    WCHAR mainPath[MAX_PATH];
    WCHAR mainTarget[MAX_PATH];
    WCHAR configPath[MAX_PATH];
    WCHAR configTarget[MAX_PATH];
};

// Every text is built before anything is written: one that does not fit
// refuses the whole pair.
bool PlanTargets(const WCHAR* programsFolder, const WCHAR* programPath, ShortcutPlan& plan)
{
    if (!programPath || !*programPath)
        return false;
    return WideCopy(plan.configPath, MAX_PATH, programsFolder) &&
           WideAppend(plan.configPath, MAX_PATH, ConfigShortcutName) &&
           WideCopy(plan.mainTarget, MAX_PATH, L"\"") &&
           WideAppend(plan.mainTarget, MAX_PATH, programPath) &&
           WideAppend(plan.mainTarget, MAX_PATH, L"\"") &&
           WideCopy(plan.configTarget, MAX_PATH, plan.mainTarget) &&
           WideAppend(plan.configTarget, MAX_PATH, ConfigArguments);
}

bool ProgramsFolder(WCHAR (&folder)[MAX_PATH])
{
    folder[0] = 0;
    return SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE) && folder[0] != 0;
}

}  // namespace

bool CreateShortcutsIn(const WCHAR* programsFolder, const WCHAR* programPath, bool checkOnly)
{
    ShortcutPlan plan;
    // Without a folder there is no shortcut to find, and none to make.
    if (!programsFolder || !*programsFolder ||
        !WideCopy(plan.mainPath, MAX_PATH, programsFolder) ||
        !WideAppend(plan.mainPath, MAX_PATH, MainShortcutName))
        return true;

    if (FileFound(plan.mainPath))
        return false;

    if (!checkOnly && PlanTargets(programsFolder, programPath, plan)) {
        SHCreateShortcut(plan.mainPath, plan.mainTarget);
        SHCreateShortcut(plan.configPath, plan.configTarget);
    }
    return true;
}

bool CreateShortcutsFor(const WCHAR* programPath, bool checkOnly)
{
    WCHAR folder[MAX_PATH];
    if (!ProgramsFolder(folder))
        return true;
    return CreateShortcutsIn(folder, programPath, checkOnly);
}

bool CreateShortcuts(bool checkOnly)
{
    WCHAR program[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, program, MAX_PATH);
    // A cut-off module name would point the shortcuts at another file.
    if (length == 0 || length >= MAX_PATH)
        program[0] = 0;
    return CreateShortcutsFor(program, checkOnly);
}
