// hold_counter_lock: takes the capture counter's lock in a process of its
// own, signals the named event given on its command line, and then holds
// the lock until it is killed, or, with "exit" after the event's name,
// ends at once without releasing it.
#include <windows.h>

#include <string.h>

#include "app/CounterLock.h"

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    CounterLock lock;
    if (!lock.Held())
        return 3;
    WCHAR eventName[MAX_PATH];
    MultiByteToWideChar(CP_UTF8, 0, argv[1], -1, eventName, MAX_PATH);
    HANDLE held = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName);
    if (!held)
        return 4;
    SetEvent(held);
    if (argc > 2 && strcmp(argv[2], "exit") == 0)
        ExitProcess(0);
    Sleep(INFINITE);
    return 0;
}
