// Another capture as far as the counter's lock is concerned: a thread that
// holds the lock from construction until Release (or destruction).
#pragma once

#include <windows.h>

#include "app/CounterLock.h"

class LockHolder {
public:
    // bumpEveryMs: the holder moves the stored Counter on this often, as
    // other captures finishing one after another do (0: never).
    // dieHolding: the thread ends at once, owning the lock.
    explicit LockHolder(DWORD bumpEveryMs = 0, bool dieHolding = false);
    ~LockHolder();
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    void Release();

private:
    static DWORD WINAPI Main(void* self);

    DWORD bumpEvery_;
    bool dieHolding_;
    HANDLE held_;
    HANDLE release_;
    HANDLE thread_;
};

// While it lives, the captures and dialogs of this process give up on a
// stuck lock holder after `patience` ms rather than the program's 30 s.
class ShortLockPatience {
public:
    explicit ShortLockPatience(DWORD patience = 300) : saved_(DefaultCounterLockPatience())
    {
        SetDefaultCounterLockPatience(patience);
    }
    ~ShortLockPatience() { SetDefaultCounterLockPatience(saved_); }
    ShortLockPatience(const ShortLockPatience&) = delete;
    ShortLockPatience& operator=(const ShortLockPatience&) = delete;
    DWORD Patience() const { return DefaultCounterLockPatience(); }

private:
    DWORD saved_;
};
