#include "output/FileCommit.h"

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
    if (MoveFileExW(scratch, finalName, MOVEFILE_REPLACE_EXISTING))
        return true;
    DiscardScratchFile(scratch);
    return false;
}

void DiscardScratchFile(const WCHAR* scratch)
{
    DeleteFileW(scratch);
}
