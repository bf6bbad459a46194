// hold_counter_lock: takes the capture counter's lock in a process of its
// own, signals the named event given on its command line, and then holds
// the lock until it is killed, or, with "exit" after the event's name,
// ends at once without releasing it. With "scratch FOLDER" after the
// event's name it takes no lock but plays a picture writer at work: it
// opens a scratch file for a picture in FOLDER, writes to it, signals, and
// keeps it open until it is killed. With "crash FOLDER" it goes as far and
// then fails as a fault ends the program, having told its launcher which
// picture it writes, as the program does.
#include <windows.h>

#include <string.h>

#include "app/CounterLock.h"
#include "output/FileCommit.h"
#include "platform/LauncherReport.h"

namespace {

bool SignalEvent(const char* name)
{
    WCHAR eventName[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, name, -1, eventName, MAX_PATH);
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    return event && SetEvent(event);
}

// A scratch file for screen00 in folder, part of a picture written to it.
HANDLE StartWriting(const char* folder)
{
    WCHAR picture[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, folder, -1, picture, MAX_PATH - 16);
    lstrcatW(picture, L"\\screen00.bmp");
    ReportWriting(picture);
    WCHAR scratch[MAX_PATH];
    HANDLE file = CreateScratchFile(picture, scratch, MAX_PATH);
    static const char partOfAPicture[4096] = "BM";
    DWORD written;
    if (file != INVALID_HANDLE_VALUE)
        WriteFile(file, partOfAPicture, sizeof partOfAPicture, &written, nullptr);
    return file;
}

int WriteForever(const char* event, const char* folder)
{
    if (StartWriting(folder) == INVALID_HANDLE_VALUE)
        return 5;
    if (!SignalEvent(event))
        return 4;
    Sleep(INFINITE);
    return 0;
}

int CrashWhileWriting(const char* folder)
{
    if (StartWriting(folder) == INVALID_HANDLE_VALUE)
        return 5;
    *static_cast<volatile int*>(nullptr) = 0;
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    if (argc > 3 && strcmp(argv[2], "scratch") == 0)
        return WriteForever(argv[1], argv[3]);
    if (argc > 3 && strcmp(argv[2], "crash") == 0)
        return CrashWhileWriting(argv[3]);
    CounterLock lock;
    if (!lock.Held())
        return 3;
    if (!SignalEvent(argv[1]))
        return 4;
    if (argc > 2 && strcmp(argv[2], "exit") == 0)
        ExitProcess(0);
    Sleep(INFINITE);
    return 0;
}
