#include "app/CounterLock.h"

#include "app/Settings.h"
#include "support/LockHolder.h"
#include "support/ProgramRuns.h"
#include "support/TestSupport.h"

namespace {

// Above the waiter's interval between looks at the stored Counter (half a
// second), so that it judges the holder's progress more than once.
const DWORD Patience = 600;

DWORD WINAPI ReleaseAfterTwiceThePatience(void* holder)
{
    Sleep(2 * Patience);
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
        CounterLock lock(Patience);
        EXPECT_FALSE(lock.Held());
    }
    DWORD waited = GetTickCount() - start;
    EXPECT_GE(waited, Patience - 50);
    EXPECT_LT(waited, Patience + 2500);

    // Patience 0 only tries.
    start = GetTickCount();
    CounterLock tried(0);
    EXPECT_FALSE(tried.Held());
    EXPECT_LT(GetTickCount() - start, 500u);
}

TEST_F(CounterLockTest, AWaitLastsAsLongAsOtherCapturesKeepFinishing)
{
    // The counter moves every 150 ms for twice the patience, and only then
    // is the lock released: the waiter gets it.
    LockHolder holder(150);
    DWORD start = GetTickCount();
    HANDLE releaser = CreateThread(nullptr, 0, ReleaseAfterTwiceThePatience, &holder, 0, nullptr);
    {
        CounterLock lock(Patience);
        EXPECT_TRUE(lock.Held());
    }
    EXPECT_GE(GetTickCount() - start, 2 * Patience - 100);
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
    for (bool exitHolding : {false, true}) {
        SCOPED_TRACE(exitHolding ? "ended" : "killed");
        std::vector<ProgramRun> holder = {StartLockHolder(exitHolding)};
        ASSERT_TRUE(holder[0].process);
        if (!exitHolding) {
            CounterLock tried(0);
            EXPECT_FALSE(tried.Held()) << "the other process holds it";
            TerminateProcess(holder[0].process, 9);
        }
        DWORD start = GetTickCount();
        {
            CounterLock lock(10000);
            EXPECT_TRUE(lock.Held());
        }
        EXPECT_LT(GetTickCount() - start, 3000u);
        WaitForAll(holder, 5000);
    }
}
