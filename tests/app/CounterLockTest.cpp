#include "app/CounterLock.h"

#include "app/Settings.h"
#include "support/ProgramRuns.h"
#include "support/TestSupport.h"

namespace {

// Holds the lock on a thread of its own, the way another capture would,
// until told to let go; optionally moving the stored counter on meanwhile
// (other captures finishing one after another).
class LockHolder {
public:
    explicit LockHolder(DWORD bumpEveryMs = 0, bool dieHolding = false)
        : bumpEvery_(bumpEveryMs), dieHolding_(dieHolding),
          held_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          release_(CreateEventW(nullptr, TRUE, FALSE, nullptr))
    {
        thread_ = CreateThread(nullptr, 0, Main, this, 0, nullptr);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held_, 5000));
    }
    ~LockHolder()
    {
        Release();
        WaitForSingleObject(thread_, 10000);
        CloseHandle(thread_);
        CloseHandle(held_);
        CloseHandle(release_);
    }
    void Release() { SetEvent(release_); }

private:
    static DWORD WINAPI Main(void* self)
    {
        LockHolder& holder = *static_cast<LockHolder*>(self);
        HANDLE mutex = CreateMutexW(nullptr, FALSE, CounterLockName);
        WaitForSingleObject(mutex, INFINITE);
        SetEvent(holder.held_);
        if (holder.dieHolding_)
            return 0;  // the thread ends owning the mutex: abandoned
        int counter = 0;
        while (WaitForSingleObject(holder.release_, holder.bumpEvery_ ? holder.bumpEvery_
                                                                     : INFINITE) ==
               WAIT_TIMEOUT)
            WriteDwordSetting(L"Counter", ++counter);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
        return 0;
    }

    DWORD bumpEvery_;
    bool dieHolding_;
    HANDLE held_;
    HANDLE release_;
    HANDLE thread_;
};

DWORD WINAPI ReleaseAfterThreeSeconds(void* holder)
{
    Sleep(3000);
    static_cast<LockHolder*>(holder)->Release();
    return 0;
}

class CounterLockTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettingsKey(); }
    void TearDown() override { ClearSettingsKey(); }
};

}  // namespace

TEST_F(CounterLockTest, AHolderThatMakesNoProgressIsGivenUpOnAfterThePatience)
{
    LockHolder holder;
    DWORD start = GetTickCount();
    {
        CounterLock lock(1500);
        EXPECT_FALSE(lock.Held());
    }
    DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, 1400u);
    EXPECT_LT(waited, 4000u);

    // Patience 0 only tries.
    start = GetTickCount();
    CounterLock tried(0);
    EXPECT_FALSE(tried.Held());
    EXPECT_LT(GetTickCount() - start, 500u);
}

TEST_F(CounterLockTest, AWaitLastsAsLongAsOtherCapturesKeepFinishing)
{
    // The counter moves every 300 ms for 3 s, twice the patience, and only
    // then is the lock released: the waiter gets it.
    LockHolder holder(300);
    DWORD start = GetTickCount();
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseAfterThreeSeconds, &holder, 0, nullptr);
    {
        CounterLock lock(1500);
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_GE(GetTickCount() - start, 2900u);
    WaitForSingleObject(releaser, 5000);
    CloseHandle(releaser);
}

TEST_F(CounterLockTest, ALockWhoseHolderEndedWithoutReleasingItIsTakenAtOnce)
{
    LockHolder holder(0, true);
    DWORD start = GetTickCount();
    CounterLock lock(10000);
    EXPECT_TRUE(lock.Held());
    EXPECT_LT(GetTickCount() - start, 1000u);
}

// A real second process: the lock is shared between processes, and passes
// on when the holding process is killed or ends without letting go.
TEST_F(CounterLockTest, ALockHeldByAnotherProcessPassesOnWhenThatProcessDies)
{
    for (const char* how : {"", "exit"}) {
        SCOPED_TRACE(*how ? how : "killed");
        HANDLE held = CreateEventW(nullptr, TRUE, FALSE, L"Tavro.Test.LockHeld");
        std::string arguments = std::string("Tavro.Test.LockHeld ") + how;
        std::vector<ProgramRun> runs = StartTogether(LockHolderProgram(), arguments.c_str(), 1);
        ASSERT_TRUE(runs[0].process);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(held, 20000));
        if (!*how) {
            CounterLock tried(0);
            EXPECT_FALSE(tried.Held()) << "the other process holds it";
            TerminateProcess(runs[0].process, 9);
        }
        DWORD start = GetTickCount();
        {
            CounterLock lock(10000);
            EXPECT_TRUE(lock.Held());
        }
        EXPECT_LT(GetTickCount() - start, 3000u);
        WaitForAll(runs, 5000);
        CloseHandle(held);
    }
}
