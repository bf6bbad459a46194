// Runs of the real program (and of the lock holder) as processes of their
// own, on the test's prefix and screen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Windows names of the built programs. The program under test is the
// winelib build, or with TAVRO_TARGET=windows in the environment the
// Windows one (built by the scripts beside the winelib build).
std::u16string TavroProgram();
std::u16string LinuxTavroProgram();
std::u16string WindowsTavroProgram();
std::u16string LockHolderProgram();

// Keeps a main shortcut in the Programs folder, so that the program
// captures rather than configures; removes it again if it made it.
class MainShortcutPresent {
public:
    MainShortcutPresent();
    ~MainShortcutPresent();

private:
    WCHAR path_[MAX_PATH];
    bool made_;
};

struct ProgramRun {
    HANDLE process;
    DWORD exitCode;        // STILL_ACTIVE until Wait
    DWORD startError = 0;  // why CreateProcess refused, when it did
};

// Starts count processes of program with the arguments, all suspended, then
// lets them all go at once. A process that could not be started has no
// handle.
std::vector<ProgramRun> StartTogether(const std::u16string& program, const char* arguments,
                                      int count);

// Waits for every run; one still running after timeoutMs is killed and
// keeps STILL_ACTIVE as its exit code. Closes the handles.
void WaitForAll(std::vector<ProgramRun>& runs, DWORD timeoutMs);

// Starts the lock holder program and waits until it holds the counter's
// lock. With exitHolding it then ends at once without releasing it;
// otherwise it holds on until killed. No handle when it did not get there.
ProgramRun StartLockHolder(bool exitHolding);

// Starts the lock holder program as a picture writer at work in folder
// (Windows name): it holds a scratch file open there until killed. No
// handle when it did not get there.
ProgramRun StartScratchWriter(const WCHAR* folder);
