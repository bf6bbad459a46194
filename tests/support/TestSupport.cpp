#include "support/TestSupport.h"

#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>

#include "app/CounterRecord.h"
#include "app/Settings.h"
#include "platform/HostFiles.h"
#include "platform/WideCrt.h"

std::string Utf8(const WCHAR* text)
{
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, &result[0], size, nullptr, nullptr);
    return result;
}

std::u16string Utf16(const char* text)
{
    int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::u16string result(size > 0 ? size - 1 : 0, u'\0');
    if (size > 1)
        MultiByteToWideChar(CP_UTF8, 0, text, -1, reinterpret_cast<WCHAR*>(&result[0]), size);
    return result;
}

std::vector<unsigned char> ReadWholeFile(const WCHAR* windowsPath)
{
    std::vector<unsigned char> bytes;
    FILE* file = _wfopen(windowsPath, L"rb");
    if (!file)
        return bytes;
    unsigned char block[65536];
    size_t got;
    while ((got = fread(block, 1, sizeof block, file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    fclose(file);
    return bytes;
}

bool FileExists(const WCHAR* windowsPath)
{
    return GetFileAttributesW(windowsPath) != INVALID_FILE_ATTRIBUTES;
}

void WriteText(const std::u16string& windowsPath, const char* text)
{
    FILE* file = _wfopen(W(windowsPath), L"wb");
    ASSERT_TRUE(file);
    fputs(text, file);
    fclose(file);
}

std::string TextOf(const std::u16string& windowsPath)
{
    std::vector<unsigned char> bytes = ReadWholeFile(W(windowsPath));
    return std::string(bytes.begin(), bytes.end());
}

std::vector<std::string> FolderEntries(const WCHAR* folder)
{
    std::vector<std::string> names;
    WCHAR pattern[MAX_PATH * 2];
    wsprintfW(pattern, L"%s\\*", folder);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (lstrcmpW(entry.cFileName, L".") && lstrcmpW(entry.cFileName, L".."))
            names.push_back(Utf8(entry.cFileName));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> ScratchFilesIn(const WCHAR* folder)
{
    std::vector<std::string> scratch;
    for (const std::string& name : FolderEntries(folder))
        if (name.size() >= 4 && name.compare(name.size() - 4, 4, ".tmp") == 0)
            scratch.push_back(name);
    return scratch;
}

static void RemoveTree(const WCHAR* folder)
{
    WCHAR pattern[MAX_PATH * 2];
    wsprintfW(pattern, L"%s\\*", folder);
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!lstrcmpW(entry.cFileName, L".") || !lstrcmpW(entry.cFileName, L".."))
                continue;
            WCHAR child[MAX_PATH * 2];
            wsprintfW(child, L"%s\\%s", folder, entry.cFileName);
            SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileW(child);
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(folder);
}

FileSizeLimit::FileSizeLimit(unsigned long bytes)
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    savedCurrent_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    savedHandler_ = signal(SIGXFSZ, SIG_DFL);
    EXPECT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit;
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = savedCurrent_;
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, savedHandler_);
}

ScratchFolder::ScratchFolder()
{
    static int serial = 0;
    wsprintfW(path_, L"C:\\tavro-test-%u-%d", GetCurrentProcessId(), ++serial);
    // Process ids come round again: a test killed before its clean-up
    // leaves a folder that a later one would otherwise find full.
    RemoveTree(path_);
    CreateDirectoryW(path_, nullptr);
}

ScratchFolder::~ScratchFolder()
{
    RemoveTree(path_);
}

std::u16string ScratchFolder::Join(const char* name) const
{
    return U16(path_) + u"\\" + Utf16(name);
}

void ClearSettingsKey()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, SettingsPath);
    // By the host: deleted through Wine, a link planted there would take
    // its target with it.
    WCHAR record[MAX_PATH];
    char unixRecord[4096];
    if (CounterRecordPath(record, MAX_PATH) && UnixPathOf(record, unixRecord, sizeof unixRecord))
        unlink(unixRecord);
}

bool SettingsKeyExists()
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> SettingsValueNames()
{
    std::vector<std::string> names;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD length = 256;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.push_back(Utf8(name));
    }
    RegCloseKey(key);
    return names;
}

bool ReadRawSetting(const WCHAR* name, DWORD& type, std::vector<unsigned char>& data)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_SUCCESS) {
        data.resize(size);
        result = RegQueryValueExW(key, name, nullptr, &type, data.data(), &size);
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

void WriteRawSetting(const WCHAR* name, DWORD type, const void* data, DWORD size)
{
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, SettingsPath, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size));
    RegCloseKey(key);
}

void WriteDwordSetting(const WCHAR* name, DWORD value)
{
    WriteRawSetting(name, REG_DWORD, &value, sizeof value);
}

void WriteFolderSetting(const WCHAR* folder)
{
    WriteRawSetting(L"Folder", REG_SZ, folder, (lstrlenW(folder) + 1) * sizeof(WCHAR));
}

DWORD ReadDwordSetting(const WCHAR* name)
{
    DWORD type;
    std::vector<unsigned char> data;
    if (!ReadRawSetting(name, type, data) || data.size() != 4)
        return 0xFFFFFFFF;
    return ReadU32(data, 0);
}

unsigned ReadU16(const std::vector<unsigned char>& bytes, size_t offset)
{
    return bytes[offset] | bytes[offset + 1] << 8;
}

unsigned ReadU32(const std::vector<unsigned char>& bytes, size_t offset)
{
    return ReadU16(bytes, offset) | ReadU16(bytes, offset + 2) << 16;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return condition();
        Sleep(20);
    }
}

bool WaitUntilNoticePainted()
{
    const int width = 200, height = 90;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    const RECT pane = {left, top, left + width, top + height};
    const DWORD buttonOutline = 0x1F551F, text = 0xFFFFFF;
    std::vector<DWORD> last;
    return WaitUntil(
        [&] {
            std::vector<DWORD> now = ScreenPixels(pane);
            bool whole = now.size() == static_cast<size_t>(width) * height &&
                         now[60 * width + 60] == buttonOutline &&
                         std::count(now.begin(), now.end(), text) > 0;
            bool still = now == last;
            last = now;
            return whole && still;
        },
        3000);
}

void PumpPendingMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PumpMessages(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        PumpPendingMessages();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpPendingMessages();
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

BITMAPINFO TopDownDibInfo(int width, int height)
{
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

std::vector<DWORD> DcPixels(HDC dc, const RECT& area)
{
    const int width = area.right - area.left, height = area.bottom - area.top;
    std::vector<DWORD> pixels;
    if (width <= 0 || height <= 0)
        return pixels;
    BITMAPINFO info = TopDownDibInfo(width, height);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, dc, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (DWORD& pixel : pixels)
        pixel &= 0x00FFFFFF;
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    return pixels;
}

std::vector<DWORD> ScreenPixels(const RECT& area)
{
    HDC screen = GetDC(nullptr);
    std::vector<DWORD> pixels = DcPixels(screen, area);
    ReleaseDC(nullptr, screen);
    return pixels;
}
