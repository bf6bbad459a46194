#include "platform/HostFiles.h"

#include <stdio.h>
#include <string.h>

extern "C" char* CDECL wine_get_unix_file_name(LPCWSTR dosName);

namespace {

// Long enough for any path the host takes (PATH_MAX).
const size_t HostPathCapacity = 4096;

}  // namespace

bool UnixPathOf(const WCHAR* windowsPath, char* unixPath, size_t capacity)
{
    if (capacity == 0)
        return false;
    unixPath[0] = 0;
    if (!windowsPath || !windowsPath[0])
        return false;
    char* mapped = wine_get_unix_file_name(windowsPath);
    if (!mapped)
        return false;
    size_t length = strlen(mapped);
    bool fits = length < capacity;
    if (fits)
        memcpy(unixPath, mapped, length + 1);
    HeapFree(GetProcessHeap(), 0, mapped);
    return fits;
}

bool HostRename(const WCHAR* from, const WCHAR* to)
{
    char hostFrom[HostPathCapacity];
    char hostTo[HostPathCapacity];
    return UnixPathOf(from, hostFrom, sizeof hostFrom) && UnixPathOf(to, hostTo, sizeof hostTo) &&
           rename(hostFrom, hostTo) == 0;
}
