#include "app/PictureNumbers.h"

#include <limits.h>

#include "platform/WideCrt.h"

namespace {

const int CounterWrap = 100;

bool IsDigit(WCHAR c)
{
    return c >= L'0' && c <= L'9';
}

// "screen07.bmp" gives 7; false for any name the capture does not make.
bool PictureNumberOf(const WCHAR* name, int& number)
{
    static const WCHAR prefix[] = L"screen";
    const size_t prefixLength = 6;
    for (size_t i = 0; i < prefixLength; ++i)
        if (name[i] != prefix[i])
            return false;
    const WCHAR* digits = name + prefixLength;
    size_t count = 0;
    long long value = 0;
    while (IsDigit(digits[count])) {
        value = value * 10 + (digits[count] - L'0');
        if (value > INT_MAX)
            return false;
        ++count;
    }
    // The name's own form: at least two digits, a leading zero only below 10.
    if (count < 2 || (count > 2 && digits[0] == L'0'))
        return false;
    const WCHAR* extension = digits + count;
    if (WideCompare(extension, L".bmp") != 0 && WideCompare(extension, L".jpg") != 0)
        return false;
    number = static_cast<int>(value);
    return true;
}

}  // namespace

NewestPicture FindNewestPicture(const WCHAR* folder)
{
    NewestPicture newest = {false, 0, {0, 0}};
    WCHAR pattern[MAX_PATH];
    if (!WideCopy(pattern, MAX_PATH, folder) || !WideAppend(pattern, MAX_PATH, L"\\screen*"))
        return newest;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return newest;
    do {
        int number;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
            !PictureNumberOf(entry.cFileName, number))
            continue;
        if (!newest.found || CompareFileTime(&entry.ftLastWriteTime, &newest.written) > 0) {
            newest.found = true;
            newest.number = number;
            newest.written = entry.ftLastWriteTime;
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return newest;
}

int CounterWithinRange(int counter)
{
    int number = counter % CounterWrap;
    return number < 0 ? number + CounterWrap : number;
}

int ChooseCounter(bool counterStored, int storedCounter, bool keyTimeKnown,
                  const FILETIME& keyWritten, const NewestPicture& newest)
{
    bool registryBehind = newest.found && (!counterStored || !keyTimeKnown ||
                                           CompareFileTime(&newest.written, &keyWritten) > 0);
    if (!registryBehind)
        return counterStored ? CounterWithinRange(storedCounter) : 0;
    return (newest.number % CounterWrap + 1) % CounterWrap;
}
