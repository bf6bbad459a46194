// record_command_line: a stand-in program for the shortcut tests. Writes
// its own command line, a line break and its working folder (UTF-16, no
// terminator) to the file named by the environment variable
// TAVRO_RECORD_FILE, so a test can see exactly how the shell started it.
#include <windows.h>

int main()
{
    WCHAR file[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"TAVRO_RECORD_FILE", file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 2;
    HANDLE out = CreateFileW(file, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return 3;
    WCHAR record[2 * MAX_PATH + 2048];
    WCHAR folder[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    lstrcpynW(record, GetCommandLineW(), 2048);
    lstrcatW(record, L"\n");
    lstrcatW(record, folder);
    DWORD bytes = static_cast<DWORD>(lstrlenW(record) * sizeof(WCHAR));
    DWORD written = 0;
    BOOL ok = WriteFile(out, record, bytes, &written, nullptr);
    CloseHandle(out);
    return ok && written == bytes ? 0 : 4;
}
