#include "app/CaptureRun.h"
#include "app/Settings.h"
#include "platform/WideCrt.h"
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

    void UseFolder(const WCHAR* folder)
    {
        WriteRawSetting(L"Folder", REG_SZ, folder, (WideLength(folder) + 1) * sizeof(WCHAR));
    }

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

TEST_F(CaptureRunTest, TheCounterNamesThePictureAndWrapsAtAHundred)
{
    ScratchFolder folder;
    UseFolder(folder.Path());
    const struct {
        DWORD stored;
        const char* name;
        DWORD next;
    } cases[] = {{7, "screen07.bmp", 8}, {99, "screen99.bmp", 0}, {150, "screen150.bmp", 51}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WriteDwordSetting(L"Counter", c.stored);
        Run();
        EXPECT_TRUE(FileExists(W(folder.Join(c.name))));
        EXPECT_EQ(c.next, ReadDwordSetting(L"Counter"));
    }
}

TEST_F(CaptureRunTest, AFolderThatCannotTakeThePictureStillAdvancesTheCounter)
{
    ScratchFolder folder;
    std::u16string missing = folder.Join("missing");
    UseFolder(W(missing));
    WriteDwordSetting(L"Counter", 3);
    Run();
    EXPECT_FALSE(FileExists(W(missing + u"\\screen03.bmp")));
    EXPECT_EQ(4u, ReadDwordSetting(L"Counter"));

    // Too long for the picture's name: nothing is written, not even to a
    // cut-off name, and the counter still moves on.
    std::u16string longFolder = U16(folder.Path()) + u"\\" + std::u16string(240, u'x');
    ASSERT_TRUE(CreateDirectoryW(W(longFolder), nullptr));
    UseFolder(W(longFolder));
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
    UseFolder(folder.Path());
    WriteDwordSetting(L"Width", 99999);
    WriteDwordSetting(L"Delay", 0);
    WriteDwordSetting(L"Quality", 55);
    Run();
    EXPECT_EQ(99999u, ReadDwordSetting(L"Width"));
    EXPECT_EQ(55u, ReadDwordSetting(L"Quality"));
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
}

TEST_F(CaptureRunTest, DelaysWaitWhenSaneAndNeverOverflow)
{
    ScratchFolder folder;
    UseFolder(folder.Path());

    WriteDwordSetting(L"Delay", 1);
    EXPECT_GE(Run(), 1000u);

    // A command-line delay wins for this run; the stored one stays.
    WriteDwordSetting(L"Delay", 7);
    DWORD took = Run(1);
    EXPECT_GE(took, 1000u);
    EXPECT_LT(took, 6000u);
    EXPECT_EQ(7u, ReadDwordSetting(L"Delay"));

    // Out of range: no wait at all rather than an overflowed or endless one.
    WriteDwordSetting(L"Delay", static_cast<DWORD>(-5));
    EXPECT_LT(Run(), 1000u);
    WriteDwordSetting(L"Delay", 4294968);  // * 1000 wraps 32 bits to 704
    EXPECT_LT(Run(), 1000u);
    WriteDwordSetting(L"Delay", 360001);
    EXPECT_LT(Run(), 1000u);
}

TEST_F(CaptureRunTest, TheSoundPlaysWithoutWaiting)
{
    ScratchFolder folder;
    UseFolder(folder.Path());
    WriteDwordSetting(L"PlaySound", 1);
    EXPECT_LT(Run(), 3000u);
    EXPECT_TRUE(FileExists(W(folder.Join("screen00.bmp"))));
}
