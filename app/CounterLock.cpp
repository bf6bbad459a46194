#include "app/CounterLock.h"

#include "app/Settings.h"

const WCHAR CounterLockName[] = L"Tavro.Counter";

namespace {

// The waiter looks at the stored Counter this often to see whether the
// holders are getting on.
const DWORD ProgressCheckInterval = 500;

DWORD DefaultPatience = CounterLockPatience;

// WAIT_ABANDONED: the last holder died; the lock is ours all the same.
bool Acquired(DWORD waitResult)
{
    return waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED;
}

int StoredCounter()
{
    return RegistryStore::Instance().ReadDword(SettingsRoot, SettingsPath, L"Counter");
}

}  // namespace

DWORD DefaultCounterLockPatience()
{
    return DefaultPatience;
}

void SetDefaultCounterLockPatience(DWORD patience)
{
    DefaultPatience = patience;
}

CounterLock::CounterLock() : CounterLock(DefaultPatience) {}

CounterLock::CounterLock(DWORD patience) : mutex_(CreateMutexW(nullptr, FALSE, CounterLockName)),
                                           held_(false)
{
    if (!mutex_)
        return;
    // Mostly nobody holds it: then it is taken without a look at the
    // counter, which is only needed to judge a holder's progress.
    DWORD result = WaitForSingleObject(mutex_, 0);
    if (result != WAIT_TIMEOUT) {
        held_ = Acquired(result);
        return;
    }
    int seen = StoredCounter();
    DWORD idle = 0;
    for (;;) {
        DWORD slice = patience - idle < ProgressCheckInterval ? patience - idle
                                                              : ProgressCheckInterval;
        result = WaitForSingleObject(mutex_, slice);
        if (result != WAIT_TIMEOUT) {
            held_ = Acquired(result);
            return;
        }
        int now = StoredCounter();
        if (now != seen) {
            seen = now;
            idle = 0;
        } else {
            idle += slice;
            if (idle >= patience)
                return;
        }
    }
}

CounterLock::~CounterLock()
{
    if (held_)
        ReleaseMutex(mutex_);
    if (mutex_)
        CloseHandle(mutex_);
}
