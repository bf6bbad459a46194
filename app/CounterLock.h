// Captures started together (a hardware button pressed twice, a capture
// while the settings dialog is open) share one stored Counter. Whoever
// chooses a picture's number holds this lock until the next number is
// stored, so no two runs take the same number and no increment is lost.
#pragma once

#include <windows.h>

// Named, so that every process shares it (on Wine: every process of the
// prefix, which has one server).
extern const WCHAR CounterLockName[];

// How long a waiter bears with a holder while no capture anywhere finishes
// (the stored Counter does not move). A picture is written in well under a
// second, so a lock held that long without progress belongs to a process
// that hangs; waiting on has no end, going ahead could clobber a picture.
const DWORD CounterLockPatience = 30000;

// The patience of a CounterLock made without one: CounterLockPatience,
// unless a test has set a shorter one for the process.
DWORD DefaultCounterLockPatience();
void SetDefaultCounterLockPatience(DWORD patience);

// Waits for the lock on construction and releases it on destruction. The
// lock passes on from a process that died holding it: the counter is
// stored in one write, so the registry holds either the number that
// process took or the next one. In the first case the number is taken
// again, which overwrites nothing: a capture stores the next number, and
// notes it in the counter's record, before its picture takes its name.
class CounterLock {
public:
    CounterLock();
    explicit CounterLock(DWORD patience);
    ~CounterLock();
    CounterLock(const CounterLock&) = delete;
    CounterLock& operator=(const CounterLock&) = delete;

    // False when the wait was given up (or the lock could not be made):
    // the caller must then neither choose a number nor store one.
    bool Held() const { return held_; }

private:
    HANDLE mutex_;
    bool held_;
};
