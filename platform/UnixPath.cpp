#include "platform/HostFiles.h"

#include <string.h>

#include "platform/WineUnixName.h"

bool UnixPathOf(const WCHAR* windowsPath, char* unixPath, size_t capacity)
{
    if (capacity == 0)
        return false;
    unixPath[0] = 0;
    UnixNameOf unixNameOf = WineUnixNameOf();
    if (!unixNameOf || !windowsPath || !windowsPath[0])
        return false;
    char* mapped = unixNameOf(windowsPath);
    if (!mapped)
        return false;
    size_t length = strlen(mapped);
    bool fits = length < capacity;
    if (fits)
        memcpy(unixPath, mapped, length + 1);
    HeapFree(GetProcessHeap(), 0, mapped);
    return fits;
}
