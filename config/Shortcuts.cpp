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

const WCHAR ProfileFoldersKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const WCHAR ProfileProgramsValue[] = L"Programs";

// The Programs folder as the user's profile names it, where the shell
// itself looks it up first; false unless that gives a full path.
bool ProfileProgramsFolder(WCHAR (&folder)[MAX_PATH])
{
    folder[0] = 0;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, ProfileFoldersKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    WCHAR stored[MAX_PATH] = {};
    DWORD type = 0;
    DWORD size = sizeof stored - sizeof(WCHAR);
    LONG result = RegQueryValueExW(key, ProfileProgramsValue, nullptr, &type,
                                   reinterpret_cast<BYTE*>(stored), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    if (type == REG_SZ) {
        if (!WideCopy(folder, MAX_PATH, stored))
            return false;
    } else {
        DWORD length = ExpandEnvironmentStringsW(stored, folder, MAX_PATH);
        if (length == 0 || length > MAX_PATH) {
            folder[0] = 0;
            return false;
        }
    }
    // A relative name would be looked up in whatever folder is current.
    return folder[0] && folder[1] == L':' && folder[2] == L'\\';
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
    // Every capture starts with this check, and loading the shell is a good
    // part of a capture's cost: a main shortcut found where the profile
    // names the folder is found without it. Whatever is not found there is
    // looked for again through the shell, which also makes a missing
    // folder, so the answer and what is created stay the shell's.
    if (checkOnly && ProfileProgramsFolder(folder) && !CreateShortcutsIn(folder, programPath, true))
        return false;
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
