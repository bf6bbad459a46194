// Helpers shared by the test programs: UTF-16 text, files, the settings key.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "support/GTest.h"

// UTF-8 copy of a UTF-16 text, for assertions and messages.
std::string Utf8(const WCHAR* text);
// UTF-16 copy of a UTF-8 text.
std::u16string Utf16(const char* text);
inline std::u16string U16(const WCHAR* text)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}
inline const WCHAR* W(const std::u16string& text)
{
    return reinterpret_cast<const WCHAR*>(text.c_str());
}

// Whole contents of a file named by a Windows path; empty when missing.
std::vector<unsigned char> ReadWholeFile(const WCHAR* windowsPath);
bool FileExists(const WCHAR* windowsPath);
// A file of the given text, made anew or replaced; and a file's text.
void WriteText(const std::u16string& windowsPath, const char* text);
std::string TextOf(const std::u16string& windowsPath);

// Names of the entries of a folder (not "." and ".."), sorted.
std::vector<std::string> FolderEntries(const WCHAR* folder);
// Of those, the names ending in ".tmp": scratch files a writer left behind.
std::vector<std::string> ScratchFilesIn(const WCHAR* folder);

// While it lives, this process may write at most `bytes` to any file, and
// SIGXFSZ has its default action, which ends a process: what a shell's
// `ulimit -f` gives a program.
class FileSizeLimit {
public:
    explicit FileSizeLimit(unsigned long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long savedCurrent_;
    void (*savedHandler_)(int);
};

// A fresh folder under C:\ for one test, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    const WCHAR* Path() const { return path_; }
    // path + "\" + name
    std::u16string Join(const char* name) const;

private:
    WCHAR path_[MAX_PATH];
};

// Deletes HKCU\Software\Tavro and everything under it, and the counter's
// record: the program as freshly installed.
void ClearSettingsKey();
bool SettingsKeyExists();
// Names of the values under the settings key.
std::vector<std::string> SettingsValueNames();
// Raw value: type and bytes; false when absent.
bool ReadRawSetting(const WCHAR* name, DWORD& type, std::vector<unsigned char>& data);
void WriteRawSetting(const WCHAR* name, DWORD type, const void* data, DWORD size);
void WriteDwordSetting(const WCHAR* name, DWORD value);
// Folder as a plain string with its terminator, as a user's tool stores it.
void WriteFolderSetting(const WCHAR* folder);
DWORD ReadDwordSetting(const WCHAR* name);  // 0xFFFFFFFF when absent

// Little-endian field readers for file bytes.
unsigned ReadU16(const std::vector<unsigned char>& bytes, size_t offset);
unsigned ReadU32(const std::vector<unsigned char>& bytes, size_t offset);

// The header of a 32-bit top-down DIB of width x height (0x00RRGGBB pixels).
BITMAPINFO TopDownDibInfo(int width, int height);

// What dc shows in area (in dc's coordinates) as 0x00RRGGBB pixels, top
// row first; ScreenPixels reads the whole screen's DC, as the X server
// shows it.
std::vector<DWORD> DcPixels(HDC dc, const RECT& area);
std::vector<DWORD> ScreenPixels(const RECT& area);

// Polls until condition() holds or the time runs out; its last answer.
// For what other threads and processes do; PumpMessagesUntil for what
// this thread's windows do.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 5000);

// Waits until the screen shows the completion notice over its middle whole
// (the button's outline, white text) and holding still: a window manager
// maps and places it a moment after it exists, and what it paints reaches
// the screen a moment later. False when that does not come in three
// seconds.
bool WaitUntilNoticePainted();

// Pumps this thread's messages for the given time.
void PumpMessages(DWORD milliseconds);
// Dispatches what this thread's queue holds now, paints included, and
// returns once it is empty.
void PumpPendingMessages();
// Pumps this thread's messages until done() holds or timeoutMs have passed;
// done()'s last answer. For what this thread's own windows must do first
// (a paint, a window coming up), without a fixed wait.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);
