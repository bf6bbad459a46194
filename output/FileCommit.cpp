#include "output/FileCommit.h"

#include <string.h>

#include "platform/FileIdentity.h"
#include "platform/HostFiles.h"
#include "platform/WideCrt.h"

namespace {

// Enough to step past any scratch files left by killed processes.
const int ScratchAttempts = 64;

// "tv", six hex digits, ".tmp": 12 characters, no longer than the
// shortest picture name ("screen00.bmp"), so a scratch name fits wherever
// the picture's name does.
const int ScratchDigits = 6;
const size_t ScratchNameLength = 2 + ScratchDigits + 4;

DWORD Mix(DWORD x)
{
    x ^= x >> 16;
    x *= 0x7FEB352D;
    x ^= x >> 15;
    x *= 0x846CA68B;
    x ^= x >> 16;
    return x;
}

LONG ScratchSequence = 0;

// Removes path, the entry `name` of the folder resolvedFolder, when it is a
// scratch file of that folder's own: a plain file there and nowhere else
// (IsPlainFileListedAs) that no writer holds. It is opened without
// sharing, which the file of a live handle writer refuses, and goes through
// the handle that was judged: whatever else stands under the name, what
// goes is at most that entry of the folder, never the target of a link.
bool RemoveOwnScratchFile(const WCHAR* path, const WCHAR* resolvedFolder, const WCHAR* name)
{
    HANDLE file = CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    FILE_DISPOSITION_INFO disposition = {TRUE};
    bool removed = IsPlainFileListedAs(file, resolvedFolder, name) &&
                   SetFileInformationByHandle(file, FileDispositionInfo, &disposition,
                                              sizeof disposition);
    CloseHandle(file);
    return removed;
}

bool IsScratchName(const WCHAR* name)
{
    if (WideLength(name) != ScratchNameLength || name[0] != L't' || name[1] != L'v')
        return false;
    for (int i = 0; i < ScratchDigits; ++i) {
        WCHAR c = name[2 + i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f')))
            return false;
    }
    return WideCompare(name + 2 + ScratchDigits, L".tmp") == 0;
}

// The index-th name of this process's series in finalName's folder. Series
// differ from process to process, so a collision is rare; it is creating
// the file where nothing stands that makes a name this writer's alone.
bool ScratchCandidate(const WCHAR* finalName, DWORD index, WCHAR* scratch, size_t capacity)
{
    static const DWORD seed = Mix(GetCurrentProcessId() * 0x9E3779B9u ^ GetTickCount());
    size_t folderEnd = FolderPartLength(finalName);
    WCHAR name[16];
    wsprintfW(name, L"tv%06x.tmp", Mix(seed + index) & ((1u << 4 * ScratchDigits) - 1));
    if (folderEnd + WideLength(name) >= capacity)
        return false;
    memcpy(scratch, finalName, folderEnd * sizeof(WCHAR));
    scratch[folderEnd] = 0;
    return WideAppend(scratch, capacity, name);
}

bool NextScratchCandidate(const WCHAR* finalName, WCHAR* scratch, size_t capacity)
{
    DWORD index = static_cast<DWORD>(InterlockedIncrement(&ScratchSequence) - 1);
    return ScratchCandidate(finalName, index, scratch, capacity);
}

enum class ScratchAttempt { Made, Taken, Failed };

// Tries this process's scratch names for finalName in turn until `make`
// creates a file under one (Made), passing over names already taken; stops
// at any other failure. The name made is left in scratch, or scratch is
// emptied.
template <typename Make>
bool CreateUnderScratchName(const WCHAR* finalName, WCHAR* scratch, size_t capacity, Make make)
{
    LetFileSizeLimitFailWrites();
    for (int attempt = 0; attempt < ScratchAttempts; ++attempt) {
        if (!NextScratchCandidate(finalName, scratch, capacity))
            break;
        ScratchAttempt result = make(scratch);
        if (result == ScratchAttempt::Made)
            return true;
        if (result == ScratchAttempt::Failed)
            break;
    }
    scratch[0] = 0;
    return false;
}

}  // namespace

bool UpcomingScratchName(const WCHAR* finalName, unsigned ahead, WCHAR* scratch, size_t capacity)
{
    DWORD next = static_cast<DWORD>(InterlockedCompareExchange(&ScratchSequence, 0, 0));
    return ScratchCandidate(finalName, next + ahead, scratch, capacity);
}

HANDLE CreateScratchFile(const WCHAR* finalName, WCHAR* scratch, size_t capacity)
{
    HANDLE file = INVALID_HANDLE_VALUE;
    CreateUnderScratchName(finalName, scratch, capacity, [&](const WCHAR* name) {
        file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return ScratchAttempt::Made;
        DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? ScratchAttempt::Taken
                                                                            : ScratchAttempt::Failed;
    });
    return file;
}

FILE* OpenScratchStream(const WCHAR* finalName, WCHAR* scratch, size_t capacity)
{
    FILE* file = nullptr;
    CreateUnderScratchName(finalName, scratch, capacity, [&](const WCHAR* name) {
        bool taken = false;
        file = CreateNewStream(name, taken);
        if (file)
            return ScratchAttempt::Made;
        return taken ? ScratchAttempt::Taken : ScratchAttempt::Failed;
    });
    return file;
}

bool CommitScratchFile(const WCHAR* scratch, const WCHAR* finalName)
{
    // The host's rename, and Wine's MoveFileExW too, would replace a
    // read-only file and drop its mark; Windows refuses, and so do we.
    DWORD attributes = GetFileAttributesW(finalName);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        DiscardScratchFile(scratch);
        return false;
    }
    if (ReplaceInOneStep(scratch, finalName))
        return true;
    DiscardScratchFile(scratch);
    return false;
}

void DiscardScratchFile(const WCHAR* scratch)
{
    // Closed, the file is no longer protected: whoever can write into the
    // folder may have put a link under its name since.
    WCHAR folder[MAX_PATH];
    WCHAR resolvedFolder[ResolvedNameCapacity];
    if (FolderOfFile(scratch, folder, MAX_PATH) &&
        ResolvedFolderName(folder, resolvedFolder, ResolvedNameCapacity))
        RemoveOwnScratchFile(scratch, resolvedFolder, scratch + FolderPartLength(scratch));
}

int RemoveDeadScratchFiles(const WCHAR* finalName)
{
    WCHAR folder[MAX_PATH];
    WCHAR path[MAX_PATH];
    size_t folderEnd = FolderPartLength(finalName);
    if (folderEnd + ScratchNameLength >= MAX_PATH || !FolderOfFile(finalName, folder, MAX_PATH))
        return 0;
    memcpy(path, finalName, folderEnd * sizeof(WCHAR));
    path[folderEnd] = 0;
    WideAppend(path, MAX_PATH, L"tv??????.tmp");
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(path, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    // Resolved at the first candidate: mostly there is none.
    WCHAR resolvedFolder[ResolvedNameCapacity];
    resolvedFolder[0] = 0;
    int removed = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !IsScratchName(entry.cFileName))
            continue;
        if (!resolvedFolder[0] &&
            !ResolvedFolderName(folder, resolvedFolder, ResolvedNameCapacity))
            break;
        path[folderEnd] = 0;
        if (WideAppend(path, MAX_PATH, entry.cFileName) &&
            RemoveOwnScratchFile(path, resolvedFolder, entry.cFileName))
            ++removed;
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return removed;
}
