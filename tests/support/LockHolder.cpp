#include "support/LockHolder.h"

#include "app/CounterLock.h"
#include "support/TestSupport.h"

LockHolder::LockHolder(DWORD bumpEveryMs, bool dieHolding)
    : bumpEvery_(bumpEveryMs), dieHolding_(dieHolding),
      held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
{
    thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held_, 5000));
}

LockHolder::~LockHolder()
{
    Release();
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
    CloseHandle(held_);
    CloseHandle(release_);
}

void LockHolder::Release()
{
    SetEvent(release_);
}

DWORD WINAPI LockHolder::Main(void* self)
{
    LockHolder& holder = *static_cast<LockHolder*>(self);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, CounterLockName);
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(holder.held_);
    if (holder.dieHolding_)
        return 0;  // the thread ends owning the mutex: abandoned
    DWORD wait = holder.bumpEvery_ ? holder.bumpEvery_ : INFINITE;
    int counter = 0;
    while (WaitForSingleObject(holder.release_, wait) == WAIT_TIMEOUT)
        WriteDwordSetting(L"Counter", ++counter);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
