#include "app/CounterRecord.h"

#include <string.h>

#include "platform/FileIdentity.h"
#include "platform/WideCrt.h"

namespace {

const int CounterWrap = 100;

const WCHAR RecordFolderName[] = L"Tavro";
const WCHAR RecordFileName[] = L"Counter.dat";

// One copy of the record, little-endian: "TvCR", version, sequence, the
// Counter stored last, the number of states, CounterRecordDepth states of
// 12 bytes (Counter, key time low and high), and a checksum of all that.
const BYTE Magic[4] = {'T', 'v', 'C', 'R'};
const DWORD Version = 1;
const size_t HeaderBytes = 20;
const size_t StateBytes = 12;
const size_t CopyBytes = HeaderBytes + StateBytes * CounterRecordDepth + 4;
// The copies lie a page apart, so that no write of one touches the other.
const DWORD CopyOffsets[2] = {0, 4096};
const size_t FileBytes = 4096 + CopyBytes;
static_assert(CopyBytes <= 4096, "the copies must not overlap");

void Put32(BYTE* at, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<BYTE>(value >> (8 * i));
}

DWORD Get32(const BYTE* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<DWORD>(at[3]) << 24;
}

// FNV-1a: enough to tell a torn or damaged copy from a whole one.
DWORD Checksum(const BYTE* bytes, size_t size)
{
    DWORD hash = 2166136261u;
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

void EncodeCopy(const CounterRecord& record, DWORD sequence, BYTE* copy)
{
    memset(copy, 0, CopyBytes);
    memcpy(copy, Magic, 4);
    Put32(copy + 4, Version);
    Put32(copy + 8, sequence);
    Put32(copy + 12, static_cast<DWORD>(record.storedLast));
    Put32(copy + 16, record.count);
    for (unsigned i = 0; i < record.count; ++i) {
        BYTE* state = copy + HeaderBytes + StateBytes * i;
        Put32(state, static_cast<DWORD>(record.states[i].counter));
        Put32(state + 4, record.states[i].keyWritten.dwLowDateTime);
        Put32(state + 8, record.states[i].keyWritten.dwHighDateTime);
    }
    Put32(copy + CopyBytes - 4, Checksum(copy, CopyBytes - 4));
}

// False for anything but a whole copy of this version; nothing read is
// trusted before the checksum and the count are.
bool DecodeCopy(const BYTE* copy, CounterRecord& record, DWORD& sequence)
{
    if (memcmp(copy, Magic, 4) != 0 || Get32(copy + 4) != Version ||
        Get32(copy + CopyBytes - 4) != Checksum(copy, CopyBytes - 4) ||
        Get32(copy + 16) > CounterRecordDepth)
        return false;
    sequence = Get32(copy + 8);
    record.storedLast = CounterWithinRange(static_cast<int>(Get32(copy + 12)));
    record.count = Get32(copy + 16);
    for (unsigned i = 0; i < record.count; ++i) {
        const BYTE* state = copy + HeaderBytes + StateBytes * i;
        record.states[i].counter = static_cast<int>(Get32(state));
        record.states[i].keyWritten = {Get32(state + 4), Get32(state + 8)};
    }
    return true;
}

// Sequence numbers come round after 2^32 writes: the newer is the one a
// little ahead.
bool IsNewer(DWORD sequence, DWORD than)
{
    return static_cast<int>(sequence - than) > 0;
}

bool RecordFolder(WCHAR* folder, size_t capacity)
{
    DWORD length = GetEnvironmentVariableW(L"LOCALAPPDATA", folder, static_cast<DWORD>(capacity));
    return length > 0 && length < capacity && WideAppend(folder, capacity, L"\\") &&
           WideAppend(folder, capacity, RecordFolderName);
}

// The record's file for writing, opened without sharing, when it is a
// plain file of its folder alone: nothing is written through a link
// planted there. A missing file (and folder) is made, never through a
// dangling link.
HANDLE OpenRecordForWriting()
{
    WCHAR folder[MAX_PATH];
    WCHAR path[MAX_PATH];
    if (!RecordFolder(folder, MAX_PATH) || !CounterRecordPath(path, MAX_PATH))
        return INVALID_HANDLE_VALUE;
    const DWORD access = GENERIC_READ | GENERIC_WRITE;
    HANDLE file = CreateFileW(path, access, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (GetLastError() == ERROR_PATH_NOT_FOUND)
            CreateDirectoryW(folder, nullptr);
        file = CreateFileW(path, access, 0, nullptr, CREATE_NEW, FILE_FLAG_OPEN_REPARSE_POINT,
                           nullptr);
    }
    if (file == INVALID_HANDLE_VALUE)
        return file;
    WCHAR resolvedFolder[ResolvedNameCapacity];
    if (!ResolvedFolderName(folder, resolvedFolder, ResolvedNameCapacity) ||
        !IsPlainFileListedAs(file, resolvedFolder, RecordFileName)) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

bool WriteAt(HANDLE file, DWORD offset, const BYTE* bytes, size_t size)
{
    OVERLAPPED at = {};
    at.Offset = offset;
    DWORD written = 0;
    return WriteFile(file, bytes, static_cast<DWORD>(size), &written, &at) && written == size;
}

bool SameTime(const FILETIME& a, const FILETIME& b)
{
    return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

bool Holds(const CounterRecord& record, const CounterState& state)
{
    if (!record.valid || !state.stored || !state.timeKnown)
        return false;
    for (unsigned i = 0; i < record.count; ++i)
        if (record.states[i].counter == state.counter &&
            SameTime(record.states[i].keyWritten, state.keyWritten))
            return true;
    return false;
}

// The oldest state goes when the record is full.
void Remember(CounterRecord& record, const CounterState& state)
{
    if (!state.stored || !state.timeKnown || Holds(record, state))
        return;
    if (record.count == CounterRecordDepth) {
        memmove(record.states, record.states + 1, sizeof record.states[0] * (record.count - 1));
        --record.count;
    }
    record.states[record.count++] = {state.counter, state.keyWritten};
}

}  // namespace

bool CounterRecordPath(WCHAR* path, size_t capacity)
{
    return RecordFolder(path, capacity) && WideAppend(path, capacity, L"\\") &&
           WideAppend(path, capacity, RecordFileName);
}

void LoadCounterRecord(CounterRecord& record)
{
    record.valid = false;
    record.inFile = false;
    record.count = 0;
    WCHAR path[MAX_PATH];
    if (!CounterRecordPath(path, MAX_PATH))
        return;
    HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    // Only a file of the record's length is read, so a FIFO or a device
    // planted there never blocks the run; reading anything else of that
    // length does no harm, as its copies are checked like any.
    BYTE bytes[FileBytes];
    FILE_STANDARD_INFO standard;
    DWORD read = 0;
    bool whole = GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) &&
                 !standard.Directory &&
                 standard.EndOfFile.QuadPart == static_cast<LONGLONG>(FileBytes) &&
                 ReadFile(file, bytes, FileBytes, &read, nullptr) && read == FileBytes;
    CloseHandle(file);
    if (!whole)
        return;
    CounterRecord copies[2];
    DWORD sequences[2];
    bool readable[2];
    for (unsigned i = 0; i < 2; ++i)
        readable[i] = DecodeCopy(bytes + CopyOffsets[i], copies[i], sequences[i]);
    if (!readable[0] && !readable[1])
        return;
    unsigned newest = !readable[0] || (readable[1] && IsNewer(sequences[1], sequences[0])) ? 1 : 0;
    record = copies[newest];
    record.valid = true;
    record.inFile = true;
    record.newest = newest;
    record.sequence = sequences[newest];
}

bool SaveCounterRecord(CounterRecord& record)
{
    HANDLE file = OpenRecordForWriting();
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written;
    if (record.inFile) {
        // Over the older copy: the newer one stays whole whatever happens.
        unsigned older = 1 - record.newest;
        BYTE copy[CopyBytes];
        EncodeCopy(record, record.sequence + 1, copy);
        written = WriteAt(file, CopyOffsets[older], copy, CopyBytes);
        if (written) {
            record.newest = older;
            ++record.sequence;
        }
    } else {
        // A new file, or one that held nothing readable: written whole, at
        // its length, the second copy empty.
        BYTE whole[FileBytes] = {};
        EncodeCopy(record, 1, whole);
        FILE_END_OF_FILE_INFO end = {};
        end.EndOfFile.QuadPart = FileBytes;
        written = WriteAt(file, 0, whole, FileBytes) &&
                  SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end);
        if (written) {
            record.inFile = true;
            record.newest = 0;
            record.sequence = 1;
        }
    }
    written = FlushFileBuffers(file) && written;
    CloseHandle(file);
    return written;
}

int CounterWithinRange(int counter)
{
    int number = counter % CounterWrap;
    return number < 0 ? number + CounterWrap : number;
}

int ChooseCounter(const CounterState& registry, const CounterRecord& record)
{
    if (record.valid && (!registry.stored || Holds(record, registry)))
        return record.storedLast;
    return registry.stored ? CounterWithinRange(registry.counter) : 0;
}

void NoteStoredCounter(CounterRecord& record, const CounterState& before,
                       const CounterState& after, int stored)
{
    if (!record.valid)
        record.count = 0;
    record.valid = true;
    Remember(record, before);
    Remember(record, after);
    record.storedLast = CounterWithinRange(stored);
}
