#include "app/CaptureRun.h"
#include "app/CounterLock.h"
#include "app/Settings.h"
#include "platform/WideCrt.h"
#include "support/LockHolder.h"
#include "support/ProgramRuns.h"
#include "support/ScreenPattern.h"
#include "support/TestSupport.h"

namespace {

class CaptureRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // As the launcher starts it: "\Temp" is then C:\Temp.
        SetCurrentDirectoryW(L"C:\\");
        ClearSettingsKey();
        AppSettings = Settings();  // as at process start
        OutputPath[0] = 0;
    }
    void TearDown() override { ClearSettingsKey(); }

    // Runs a capture as a fresh process would, returning the milliseconds it took.
    DWORD Run(int commandLineDelay = 0)
    {
        AppSettings = Settings();
        AppSettings.Delay = commandLineDelay;
        DWORD start = GetTickCount();
        EXPECT_EQ(0, CaptureRun());
        return GetTickCount() - start;
    }
};

int CountScreenMismatches(const std::vector<unsigned char>& file, const ScreenPattern& pattern)
{
    const int width = pattern.Width(), height = pattern.Height();
    const int rowBytes = (width * 3 + 3) & ~3;
    int mismatches = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned char* pixel = file.data() + 54 + (height - 1 - y) * rowBytes + x * 3;
            DWORD colour = pattern.Colour(x, y);
            if (pixel[0] != (colour & 0xFF) || pixel[1] != (colour >> 8 & 0xFF) ||
                pixel[2] != (colour >> 16 & 0xFF))
                ++mismatches;
        }
    return mismatches;
}

}  // namespace

TEST_F(CaptureRunTest, AFreshSetupSavesTheWholeScreenAsBmpInTemp)
{
    CreateDirectoryW(L"C:\\Temp", nullptr);
    DeleteFileW(L"C:\\Temp\\screen00.bmp");
    DeleteFileW(L"C:\\Temp\\screen01.bmp");
    ScreenPattern pattern;

    Run();
    std::vector<unsigned char> file = ReadWholeFile(L"C:\\Temp\\screen00.bmp");
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    // The X server's own size, where the test's screen is its own: at a dpi
    // other than 96 a program that the system scales sees a smaller screen.
    char screen[32] = {};
    if (GetEnvironmentVariableA("TAVRO_TEST_SCREEN", screen, sizeof screen))
        EXPECT_EQ(std::string(screen).substr(0, std::string(screen).rfind('x')),
                  std::to_string(width) + "x" + std::to_string(height));
    ASSERT_EQ(54u + ((width * 3 + 3) & ~3) * height, file.size());
    EXPECT_EQ(static_cast<unsigned>(width), ReadU32(file, 18));
    EXPECT_EQ(static_cast<unsigned>(height), ReadU32(file, 22));
    EXPECT_EQ(0, CountScreenMismatches(file, pattern));
    if (width == 240 && height == 320) {
        EXPECT_EQ(230454u, file.size());
    }

    EXPECT_EQ(std::vector<std::string>{"Counter"}, SettingsValueNames());
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
    EXPECT_EQ("\\Temp\\screen00.bmp", Utf8(OutputPath));

    Run();
    EXPECT_TRUE(FileExists(L"C:\\Temp\\screen01.bmp"));
    EXPECT_EQ(2u, ReadDwordSetting(L"Counter"));
    DeleteFileW(L"C:\\Temp\\screen00.bmp");
    DeleteFileW(L"C:\\Temp\\screen01.bmp");
}

// A stored Counter outside 0 to 99 (set by hand, or by an older version)
// names the picture by its remainder on division by 100, taken
// non-negative, and the number after that one is stored.
TEST_F(CaptureRunTest, TheCounterNamesAPictureFrom00To99AndWrapsAtAHundred)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    const struct {
        DWORD stored;
        const char* name;
        DWORD next;
    } cases[] = {{7, "screen07.bmp", 8},           {99, "screen99.bmp", 0},
                 {150, "screen50.bmp", 51},        {0xFFFFFFFF, "screen99.bmp", 0},
                 {0x80000000, "screen52.bmp", 53}, {0x7FFFFFFF, "screen47.bmp", 48}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDwordSetting(L"Counter", c.stored);
        Run();
        EXPECT_EQ(c.name, Utf8(OutputPath + WideLength(folder.Path()) + 1));
        EXPECT_TRUE(FileExists(W(folder.Join(c.name))));
        EXPECT_EQ(c.next, ReadDwordSetting(L"Counter"));
    }
}

TEST_F(CaptureRunTest, AFolderThatCannotTakeThePictureStillAdvancesTheCounter)
{
    ScratchFolder folder;
    std::u16string missing = folder.Join("missing");
    WriteFolderSetting(W(missing));
    WriteDwordSetting(L"Counter", 3);
    Run();
    EXPECT_FALSE(FileExists(W(missing + u"\\screen03.bmp")));
    EXPECT_EQ(4u, ReadDwordSetting(L"Counter"));

    // Too long for the picture's name: nothing is written, not even to a
    // cut-off name, and the counter still moves on.
    std::u16string longFolder = U16(folder.Path()) + u"\\" + std::u16string(240, u'x');
    ASSERT_TRUE(CreateDirectoryW(W(longFolder), nullptr));
    WriteFolderSetting(W(longFolder));
    Run();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(W(longFolder + u"\\*.bmp"), &entry);
    EXPECT_EQ(INVALID_HANDLE_VALUE, search);
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    EXPECT_EQ(5u, ReadDwordSetting(L"Counter"));
}

TEST_F(CaptureRunTest, OnlyTheCounterIsWrittenBack)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    WriteDwordSetting(L"Width", 99999);
    WriteDwordSetting(L"Delay", 0);
    WriteDwordSetting(L"Quality", 55);
    Run();
    EXPECT_EQ(99999u, ReadDwordSetting(L"Width"));
    EXPECT_EQ(55u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
}

namespace {

// The waits the captures of a test asked for, in milliseconds, instead of
// waiting them: a real delay is the launcher's tests' to sit through.
std::vector<DWORD> WaitsAskedFor;

void NoteTheWait(DWORD milliseconds)
{
    WaitsAskedFor.push_back(milliseconds);
}

// While it lives, captures call `wait` for their delays instead of
// sleeping: by default it notes each wait rather than waiting it out.
class DelayStandIn {
public:
    explicit DelayStandIn(DelayWait wait = NoteTheWait)
    {
        WaitsAskedFor.clear();
        SetDelayWait(wait);
    }
    ~DelayStandIn() { SetDelayWait(nullptr); }
    DelayStandIn(const DelayStandIn&) = delete;
    DelayStandIn& operator=(const DelayStandIn&) = delete;
};

}  // namespace

TEST_F(CaptureRunTest, DelaysWaitWhenSaneAndNeverOverflow)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    DelayStandIn delays;

    WriteDwordSetting(L"Delay", 1);
    Run();
    EXPECT_EQ(std::vector<DWORD>{1000}, WaitsAskedFor);

    // A command-line delay wins for this run; the stored one stays.
    WaitsAskedFor.clear();
    WriteDwordSetting(L"Delay", 7);
    Run(1);
    EXPECT_EQ(std::vector<DWORD>{1000}, WaitsAskedFor);
    EXPECT_EQ(7u, ReadDwordSetting(L"Delay"));
    WaitsAskedFor.clear();
    Run(360000);
    EXPECT_EQ(std::vector<DWORD>{360000000}, WaitsAskedFor);

    // Out of range: no wait at all rather than an overflowed or endless one.
    WaitsAskedFor.clear();
    WriteDwordSetting(L"Delay", static_cast<DWORD>(-5));
    Run();
    WriteDwordSetting(L"Delay", 4294968);  // * 1000 wraps 32 bits to 704
    Run();
    WriteDwordSetting(L"Delay", 360001);
    Run();
    EXPECT_EQ(std::vector<DWORD>{}, WaitsAskedFor);
    EXPECT_EQ(6u, ReadDwordSetting(L"Counter")) << "every run took its picture";
}

TEST_F(CaptureRunTest, TheSoundPlaysWithoutWaiting)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    WriteDwordSetting(L"PlaySound", 1);
    EXPECT_LT(Run(), 3000u);
    EXPECT_TRUE(FileExists(W(folder.Join("screen00.bmp"))));
}

// ---- The counter among captures started together ----

TEST(NextCounter, WrapsAtAHundredWithTheDividendsSignAndNeverOverflows)
{
    const struct {
        int counter;
        int next;
    } cases[] = {{0, 1},     {7, 8},    {98, 99},  {99, 0},   {150, 51},   {-1, 0},
                 {-2, -1},   {-100, -99}, {-101, -100 % 100}, {-48, -47},
                 {2147483646, 47}, {2147483647, 48}, {-2147483647 - 1, -47}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.next, NextCounter(c.counter)) << c.counter;
        if (c.counter != 2147483647) {
            EXPECT_EQ((c.counter + 1) % 100, NextCounter(c.counter)) << c.counter;
        }
    }
}

namespace {

// Another capture, finishing while this one waits out its delay.
void AnotherCaptureFinishes(DWORD)
{
    WriteDwordSetting(L"Counter", 11);
}

}  // namespace

// Another capture finishes while this one waits out its delay: the number
// is read again when the picture is named, so neither picture is lost.
TEST_F(CaptureRunTest, TheNumberIsTakenWhenThePictureIsNamedNotAtTheStart)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    WriteDwordSetting(L"Counter", 10);
    {
        DelayStandIn meanwhile(AnotherCaptureFinishes);
        Run(1);
    }
    EXPECT_EQ("screen11.bmp", Utf8(OutputPath + WideLength(folder.Path()) + 1));
    EXPECT_EQ(std::vector<std::string>{"screen11.bmp"}, FolderEntries(folder.Path()));
    EXPECT_EQ(12u, ReadDwordSetting(L"Counter"));
}

// A capture that hangs holding the lock: after the patience the run gives
// up without naming, writing or counting a picture, rather than hang or
// risk clobbering one.
TEST_F(CaptureRunTest, ACaptureHangingWithTheLockStopsNoOtherForEverAndClobbersNothing)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    WriteDwordSetting(L"Counter", 5);
    ShortLockPatience patience;
    {
        LockHolder hung;
        DWORD took = Run();
        EXPECT_GE(took, patience.Patience() - 100);
        EXPECT_LT(took, patience.Patience() + 5000);
        EXPECT_EQ(std::vector<std::string>{}, FolderEntries(folder.Path()));
        EXPECT_EQ(5u, ReadDwordSetting(L"Counter"));
        EXPECT_EQ(0, OutputPath[0]);
    }

    // Once it lets go, captures go on from the same number.
    Run();
    EXPECT_EQ(std::vector<std::string>{"screen05.bmp"}, FolderEntries(folder.Path()));
    EXPECT_EQ(6u, ReadDwordSetting(L"Counter"));
}

// A holder that died: the next capture goes ahead at once.
TEST_F(CaptureRunTest, ACaptureKilledHoldingTheLockHoldsUpNoOther)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    WriteDwordSetting(L"Counter", 20);
    std::vector<ProgramRun> holder = {StartLockHolder(false)};
    ASSERT_TRUE(holder[0].process);
    TerminateProcess(holder[0].process, 9);
    WaitForAll(holder, 5000);

    EXPECT_LT(Run(), 5000u);
    EXPECT_EQ(std::vector<std::string>{"screen20.bmp"}, FolderEntries(folder.Path()));
    EXPECT_EQ(21u, ReadDwordSetting(L"Counter"));
}

// ---- File times say nothing about the numbers ----

namespace {

FILETIME SecondsFromNow(int seconds)
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t = {{now.dwLowDateTime, now.dwHighDateTime}};
    t.QuadPart += static_cast<LONGLONG>(seconds) * 10000000;
    return {t.LowPart, t.HighPart};
}

void SetWriteTime(const std::u16string& name, const FILETIME& written)
{
    HANDLE file = CreateFileW(W(name), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    CloseHandle(file);
}

}  // namespace

// A picture edited after it was taken (newer than the settings) and one
// dated hours ahead (a clock set back, a copied file) change no number:
// counting goes on and no picture is replaced; a Counter set by hand still
// means what it says.
TEST_F(CaptureRunTest, NoFileTimeMovesTheCounter)
{
    ScratchFolder folder;
    WriteFolderSetting(folder.Path());
    auto Name = [&](int number) {
        char name[16];
        wsprintfA(name, "screen%02d.bmp", number);
        return folder.Join(name);
    };
    // Each picture so far made recognisable, and written an hour ago.
    auto Mark = [&](int from, int to) {
        for (int i = from; i < to; ++i) {
            WriteText(Name(i), Utf8(W(Name(i))).c_str());
            SetWriteTime(Name(i), SecondsFromNow(-3600));
        }
    };
    auto ExpectKept = [&](int count) {
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(TextOf(Name(i)) == Utf8(W(Name(i)))) << Utf8(W(Name(i))) << " replaced";
    };
    for (int i = 0; i < 5; ++i)
        Run();
    ASSERT_EQ(5u, ReadDwordSetting(L"Counter"));
    Mark(0, 5);
    SetWriteTime(Name(1), SecondsFromNow(0));
    for (int i = 0; i < 3; ++i)
        Run();
    EXPECT_EQ("screen07.bmp", Utf8(OutputPath + WideLength(folder.Path()) + 1));
    ExpectKept(5);

    Mark(5, 8);
    SetWriteTime(Name(7), SecondsFromNow(2 * 3600));
    for (int i = 0; i < 3; ++i)
        Run();
    EXPECT_EQ(11u, FolderEntries(folder.Path()).size());
    ExpectKept(8);

    WriteDwordSetting(L"Counter", 50);
    Run();
    EXPECT_EQ("screen50.bmp", Utf8(OutputPath + WideLength(folder.Path()) + 1));
    EXPECT_EQ(51u, ReadDwordSetting(L"Counter"));
}
