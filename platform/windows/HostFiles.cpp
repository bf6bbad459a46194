#include "platform/HostFiles.h"

#include <fcntl.h>
#include <limits.h>
#include <io.h>
#include <string.h>

#include "platform/DurableStream.h"
#include "platform/FileIdentity.h"
#include "platform/WineUnixName.h"

// Wine's kernel32 exports its path mapping to Windows programs too, which
// find it at run time; Windows has none.
UnixNameOf WineUnixNameOf()
{
    static const UnixNameOf function = reinterpret_cast<UnixNameOf>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    return function;
}

void PlaceOnDisk(const WCHAR* windowsPath, char* place, size_t capacity)
{
    // The drive links in a Unix path stay: a Windows program cannot
    // resolve them, the launcher does.
    if (UnixPathOf(windowsPath, place, capacity) || capacity == 0 || capacity > INT_MAX)
        return;
    if (WideCharToMultiByte(CP_UTF8, 0, windowsPath, -1, place, static_cast<int>(capacity),
                            nullptr, nullptr) == 0)
        place[0] = 0;
}

namespace {

// The folder holding `file`, its entries sent to the disk where the
// platform flushes a folder through its handle. Wine does, and needs it:
// its move ignores MOVEFILE_WRITE_THROUGH, which Windows heeds. A failure
// changes nothing of what the move did.
void FlushFolderOf(const WCHAR* file)
{
    WCHAR folder[MAX_PATH];
    if (!FolderOfFile(file, folder, MAX_PATH))
        return;
    HANDLE handle = CreateFileW(folder, GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return;
    FlushFileBuffers(handle);
    CloseHandle(handle);
}

}  // namespace

bool ReplaceInOneStep(const WCHAR* from, const WCHAR* to)
{
    if (!MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    FlushFolderOf(to);
    return true;
}

void LetFileSizeLimitFailWrites()
{
    // Windows has no such signal: a write past a limit fails by itself.
}

FILE* CreateNewStream(const WCHAR* name, bool& taken)
{
    // CREATE_NEW: created or refused in one step, so nothing standing under
    // the name is ever opened. The runtime's "x" mode is not in every
    // Microsoft C runtime.
    taken = false;
    HANDLE handle = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
        return nullptr;
    }
    int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        DeleteFileW(name);
        return nullptr;
    }
    FILE* stream = _fdopen(descriptor, "wb");
    if (!stream) {
        _close(descriptor);  // and the handle with it
        DeleteFileW(name);
    }
    return stream;
}

bool FlushStreamToDisk(FILE* stream)
{
    if (fflush(stream) != 0)
        return false;
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}
