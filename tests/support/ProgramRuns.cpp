#include "support/ProgramRuns.h"

#include <shlobj.h>

#include "config/Shortcuts.h"
#include "support/TestSupport.h"

namespace {

// The build passes Unix names; Z: is the root of the host's file system.
std::u16string FromUnixName(const char* unixName)
{
    std::u16string name = u"Z:" + Utf16(unixName);
    for (char16_t& c : name)
        if (c == u'/')
            c = u'\\';
    return name;
}

}  // namespace

std::u16string TavroProgram()
{
    WCHAR target[16];
    DWORD length = GetEnvironmentVariableW(L"TAVRO_TARGET", target, 16);
    bool windows = length > 0 && length < 16 && lstrcmpW(target, L"windows") == 0;
    return windows ? WindowsTavroProgram() : LinuxTavroProgram();
}

std::u16string LinuxTavroProgram()
{
    return FromUnixName(TAVRO_PROGRAM);
}

std::u16string WindowsTavroProgram()
{
    return FromUnixName(TAVRO_WINDOWS_PROGRAM);
}

std::u16string LockHolderProgram()
{
    return FromUnixName(LOCK_HOLDER_PROGRAM);
}

MainShortcutPresent::MainShortcutPresent() : made_(false)
{
    path_[0] = 0;
    WCHAR folder[MAX_PATH];
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PROGRAMS, TRUE))
        return;
    wsprintfW(path_, L"%s%s", folder, MainShortcutName);
    if (GetFileAttributesW(path_) != INVALID_FILE_ATTRIBUTES)
        return;
    HANDLE file = CreateFileW(path_, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        CloseHandle(file);
        made_ = true;
    }
}

MainShortcutPresent::~MainShortcutPresent()
{
    if (made_)
        DeleteFileW(path_);
}

std::vector<ProgramRun> StartTogether(const std::u16string& program, const char* arguments,
                                      int count)
{
    std::vector<ProgramRun> runs;
    std::vector<HANDLE> threads;
    for (int i = 0; i < count; ++i) {
        std::u16string line = u"\"" + program + u"\" " + Utf16(arguments);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        ProgramRun run = {nullptr, STILL_ACTIVE};
        if (CreateProcessW(nullptr, reinterpret_cast<WCHAR*>(&line[0]), nullptr, nullptr, FALSE,
                           CREATE_SUSPENDED, nullptr, nullptr, &startup, &info)) {
            run.process = info.hProcess;
            threads.push_back(info.hThread);
        } else {
            run.startError = GetLastError();
        }
        runs.push_back(run);
    }
    for (HANDLE thread : threads) {
        ResumeThread(thread);
        CloseHandle(thread);
    }
    return runs;
}

void WaitForAll(std::vector<ProgramRun>& runs, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (ProgramRun& run : runs) {
        if (!run.process)
            continue;
        DWORD spent = GetTickCount() - start;
        DWORD left = spent < timeoutMs ? timeoutMs - spent : 0;
        if (WaitForSingleObject(run.process, left) == WAIT_OBJECT_0)
            GetExitCodeProcess(run.process, &run.exitCode);
        else
            TerminateProcess(run.process, STILL_ACTIVE);
        CloseHandle(run.process);
        run.process = nullptr;
    }
}

ProgramRun StartLockHolder(bool exitHolding)
{
    const WCHAR eventName[] = L"Tavro.Test.LockHeld";
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, eventName);
    ResetEvent(held);
    std::string arguments = Utf8(eventName) + (exitHolding ? " exit" : "");
    std::vector<ProgramRun> runs = StartTogether(LockHolderProgram(), arguments.c_str(), 1);
    if (runs[0].process && WaitForSingleObject(held, 20000) != WAIT_OBJECT_0)
        WaitForAll(runs, 0);
    CloseHandle(held);
    return runs[0];
}

ProgramRun StartScratchWriter(const WCHAR* folder)
{
    const WCHAR eventName[] = L"Tavro.Test.Writing";
    HANDLE writing = CreateEventW(nullptr, TRUE, FALSE, eventName);
    ResetEvent(writing);
    std::string arguments = Utf8(eventName) + " scratch \"" + Utf8(folder) + "\"";
    std::vector<ProgramRun> runs = StartTogether(LockHolderProgram(), arguments.c_str(), 1);
    if (runs[0].process && WaitForSingleObject(writing, 20000) != WAIT_OBJECT_0)
        WaitForAll(runs, 0);
    CloseHandle(writing);
    return runs[0];
}
