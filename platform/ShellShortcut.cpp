#include "platform/ShellShortcut.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/WideCrt.h"

namespace {

bool IsBlank(WCHAR c)
{
    return c == L' ' || c == L'\t';
}

// Copies count characters of source into a field of MAX_PATH characters.
bool CopyPart(WCHAR* field, const WCHAR* source, size_t count)
{
    if (count >= MAX_PATH)
        return false;
    for (size_t i = 0; i < count; ++i)
        field[i] = source[i];
    field[count] = 0;
    return true;
}

// COM for the duration of one call, on whatever thread calls; a thread that
// already runs COM in another mode is used as it is.
class ComScope {
public:
    ComScope() : owned_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComScope()
    {
        if (owned_)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool owned_;
};

// A handheld has one file tree, rooted at "\\"; here that is the system
// drive. A program started from a shortcut works there, so a rooted path
// such as "\\Temp" means the same folder whoever opened the shortcut.
bool DeviceRoot(WCHAR (&root)[MAX_PATH])
{
    UINT length = GetWindowsDirectoryW(root, MAX_PATH);
    if (length < 3 || length >= MAX_PATH || root[1] != L':')
        return false;
    root[2] = L'\\';
    root[3] = 0;
    return true;
}

bool SaveShellLink(const WCHAR* shortcutPath, const ShortcutCommand& command)
{
    ComScope com;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return false;
    bool saved = false;
    WCHAR root[MAX_PATH];
    bool rootSet = !DeviceRoot(root) || SUCCEEDED(link->SetWorkingDirectory(root));
    if (rootSet && SUCCEEDED(link->SetPath(command.program)) &&
        SUCCEEDED(link->SetArguments(command.arguments))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            saved = SUCCEEDED(file->Save(shortcutPath, TRUE));
            file->Release();
        }
    }
    link->Release();
    return saved;
}

}  // namespace

bool SplitShortcutTarget(const WCHAR* target, ShortcutCommand& command)
{
    command.program[0] = 0;
    command.arguments[0] = 0;
    if (!target)
        return false;
    const WCHAR* cursor = target;
    while (IsBlank(*cursor))
        ++cursor;
    const WCHAR* programStart = cursor;
    const WCHAR* programEnd;
    if (*cursor == L'"') {
        programStart = ++cursor;
        while (*cursor && *cursor != L'"')
            ++cursor;
        if (*cursor != L'"')
            return false;
        programEnd = cursor++;
    } else {
        while (*cursor && !IsBlank(*cursor))
            ++cursor;
        programEnd = cursor;
    }
    if (programEnd == programStart)
        return false;
    while (IsBlank(*cursor))
        ++cursor;
    return CopyPart(command.program, programStart, programEnd - programStart) &&
           WideCopy(command.arguments, MAX_PATH, cursor);
}

BOOL SHCreateShortcut(LPWSTR shortcutPath, LPWSTR target)
{
    ShortcutCommand command;
    if (!shortcutPath || !*shortcutPath || !SplitShortcutTarget(target, command))
        return FALSE;
    return SaveShellLink(shortcutPath, command) ? TRUE : FALSE;
}
