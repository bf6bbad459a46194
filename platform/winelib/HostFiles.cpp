#include "platform/HostFiles.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "platform/DurableStream.h"
#include "platform/WideStdio.h"
#include "platform/WineUnixName.h"

extern "C" char* CDECL wine_get_unix_file_name(LPCWSTR dosName);

namespace {

// Long enough for any path the host takes (PATH_MAX).
const size_t HostPathCapacity = 4096;

// The folder holding the Unix path `file`, its entries sent to the disk:
// a rename is on the disk only once the folder that holds the new name
// is. A failure changes nothing of what the rename did.
void SyncFolderOf(const char* file)
{
    char folder[HostPathCapacity];
    const char* slash = strrchr(file, '/');
    size_t length = slash ? static_cast<size_t>(slash - file) : 0;
    if (length >= sizeof folder)
        return;
    memcpy(folder, file, length);
    folder[length] = 0;
    if (!slash)
        strcpy(folder, ".");
    else if (length == 0)
        strcpy(folder, "/");
    int descriptor = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    fsync(descriptor);
    close(descriptor);
}

// The host's rename, which replaces a file at `to` in one step, then made
// durable. False when either name cannot be mapped or the host refuses.
bool HostRename(const WCHAR* from, const WCHAR* to)
{
    char hostFrom[HostPathCapacity];
    char hostTo[HostPathCapacity];
    if (!UnixPathOf(from, hostFrom, sizeof hostFrom) || !UnixPathOf(to, hostTo, sizeof hostTo) ||
        rename(hostFrom, hostTo) != 0)
        return false;
    SyncFolderOf(hostTo);
    return true;
}

}  // namespace

UnixNameOf WineUnixNameOf()
{
    return wine_get_unix_file_name;
}

void PlaceOnDisk(const WCHAR* windowsPath, char* place, size_t capacity)
{
    char unixPath[HostPathCapacity];
    char canonical[PATH_MAX];
    if (capacity == 0)
        return;
    place[0] = 0;
    const char* shown = unixPath;
    if (!UnixPathOf(windowsPath, unixPath, sizeof unixPath)) {
        if (WideCharToMultiByte(CP_UTF8, 0, windowsPath, -1, unixPath, sizeof unixPath, nullptr,
                                nullptr) == 0)
            return;
    } else if (realpath(unixPath, canonical)) {
        // Wine names files through the prefix's drive links.
        shown = canonical;
    }
    if (strlen(shown) < capacity)
        strcpy(place, shown);
}

bool ReplaceInOneStep(const WCHAR* from, const WCHAR* to)
{
    // Wine's own MoveFileExW replaces in one step too, and serves the names
    // the host cannot map (longer than the host takes: none the program
    // makes), though not durably.
    return HostRename(from, to) || MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
}

void LetFileSizeLimitFailWrites()
{
    // The limit's signal ignored, the write fails with EFBIG.
    signal(SIGXFSZ, SIG_IGN);
}

FILE* CreateNewStream(const WCHAR* name, bool& taken)
{
    // "x": created or refused in one step (O_CREAT | O_EXCL), so no link is
    // followed and no FIFO opened.
    errno = 0;
    FILE* file = _wfopen(name, L"wbx");
    taken = !file && errno == EEXIST;
    return file;
}

bool FlushStreamToDisk(FILE* stream)
{
    return fflush(stream) == 0 && fsync(fileno(stream)) == 0;
}
