#include "output/FileCommit.h"

#include <stdio.h>

#include "platform/WideCrt.h"

bool ScratchNameFor(const WCHAR* finalName, WCHAR* scratch, size_t capacity)
{
    if (!WideCopy(scratch, capacity, finalName))
        return false;
    size_t length = WideLength(scratch);
    size_t dot = length;
    for (size_t i = length; i > 0; --i) {
        WCHAR c = scratch[i - 1];
        if (c == L'.') {
            dot = i - 1;
            break;
        }
        if (c == L'\\' || c == L'/')
            break;
    }
    scratch[dot] = 0;
    return WideAppend(scratch, capacity, L".tmp");
}

bool CommitScratchFile(const WCHAR* scratch, const WCHAR* finalName)
{
    // The host's own rename replaces the old file in one step and costs a
    // small fraction of what MoveFileExW does on Wine; the Windows call is
    // kept for names the host cannot map.
    char from[4096];
    char to[4096];
    if (UnixPathOf(scratch, from, sizeof from) && UnixPathOf(finalName, to, sizeof to) &&
        rename(from, to) == 0)
        return true;
    if (MoveFileExW(scratch, finalName, MOVEFILE_REPLACE_EXISTING))
        return true;
    DiscardScratchFile(scratch);
    return false;
}

void DiscardScratchFile(const WCHAR* scratch)
{
    DeleteFileW(scratch);
}
