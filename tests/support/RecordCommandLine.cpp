// record_command_line: a stand-in program for the shortcut tests. Writes
// its own command line (UTF-16, no terminator) to the file named by the
// environment variable TAVRO_RECORD_FILE, so a test can see exactly how
// the shell started it.
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
    const WCHAR* line = GetCommandLineW();
    DWORD bytes = static_cast<DWORD>(lstrlenW(line) * sizeof(WCHAR));
    DWORD written = 0;
    BOOL ok = WriteFile(out, line, bytes, &written, nullptr);
    CloseHandle(out);
    return ok && written == bytes ? 0 : 4;
}
