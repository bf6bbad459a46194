#include "platform/FileIdentity.h"

#include <string.h>

#include "platform/WideCrt.h"

namespace {

// False when the name does not fit; GetFinalPathNameByHandleW then asks
// for more room than it was given.
bool ResolvedNameOf(HANDLE file, WCHAR* resolved, size_t capacity)
{
    DWORD length = GetFinalPathNameByHandleW(file, resolved, static_cast<DWORD>(capacity),
                                             FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    return length > 0 && length < capacity;
}

bool EndsWithSeparator(const WCHAR* path)
{
    size_t length = WideLength(path);
    return length > 0 && (path[length - 1] == L'\\' || path[length - 1] == L'/');
}

}  // namespace

size_t FolderPartLength(const WCHAR* file)
{
    size_t folderEnd = 0;
    for (size_t i = 0; file[i]; ++i)
        if (file[i] == L'\\' || file[i] == L'/')
            folderEnd = i + 1;
    return folderEnd;
}

bool FolderOfFile(const WCHAR* file, WCHAR* folder, size_t capacity)
{
    size_t folderEnd = FolderPartLength(file);
    if (folderEnd == 0)
        return WideCopy(folder, capacity, L".");
    if (folderEnd >= capacity)
        return false;
    memcpy(folder, file, folderEnd * sizeof(WCHAR));
    folder[folderEnd] = 0;
    return true;
}

bool ResolvedFolderName(const WCHAR* folder, WCHAR* resolved, size_t capacity)
{
    // FILE_FLAG_BACKUP_SEMANTICS: the one way to open a folder.
    HANDLE handle = CreateFileW(folder, FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool known = ResolvedNameOf(handle, resolved, capacity);
    CloseHandle(handle);
    return known;
}

bool IsPlainFileListedAs(HANDLE file, const WCHAR* resolvedFolder, const WCHAR* name)
{
    // These two are answered from the file's own status, without the
    // volume's, which GetFileInformationByHandle also asks (on Wine, at some
    // hundred times the cost).
    FILE_STANDARD_INFO standard;
    FILE_ATTRIBUTE_TAG_INFO attributes;
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard) ||
        !GetFileInformationByHandleEx(file, FileAttributeTagInfo, &attributes,
                                      sizeof attributes) ||
        standard.NumberOfLinks != 1 || standard.Directory ||
        (attributes.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    WCHAR expected[ResolvedNameCapacity];
    WCHAR actual[ResolvedNameCapacity];
    if (!WideCopy(expected, ResolvedNameCapacity, resolvedFolder) ||
        (!EndsWithSeparator(expected) && !WideAppend(expected, ResolvedNameCapacity, L"\\")) ||
        !WideAppend(expected, ResolvedNameCapacity, name) ||
        !ResolvedNameOf(file, actual, ResolvedNameCapacity))
        return false;
    // Letter case is the file system's business: the resolved name has the
    // case on disk, the listing may not.
    return CompareStringOrdinal(expected, -1, actual, -1, TRUE) == CSTR_EQUAL;
}
