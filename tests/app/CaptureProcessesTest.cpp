// Captures started together: N processes of the real program, let go at
// the same moment on one prefix and one screen, each taking the whole
// screen. Afterwards there are N distinct pictures, each whole, and the
// counter has advanced N times.
#include <stdio.h>

#include <algorithm>
#include <tuple>

#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/PictureFiles.h"
#include "support/ProgramRuns.h"
#include "support/ScreenPattern.h"
#include "support/TestSupport.h"

namespace {

const DWORD RunsTimeoutMs = 300000;

// Blocks of colour, different from row to row and column to column.
DWORD Blocks(int x, int y)
{
    DWORD block = static_cast<DWORD>(x / 16) * 2654435761u ^ static_cast<DWORD>(y / 16) * 40503u;
    return (block >> 8) & 0xFFFFFF;
}

// The file the program must write for the screen, made by the same writer
// from the pattern's own pixels: a capture of the screen is exact.
std::vector<unsigned char> ExpectedFile(const ScratchFolder& folder, bool jpeg)
{
    DibImage screen;
    EXPECT_TRUE(screen.Create(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    FillPicture(screen, Blocks);
    std::u16string name = folder.Join(jpeg ? "expected.jpg" : "expected.bmp");
    if (jpeg)
        EXPECT_EQ(1, WriteJpegFile(W(name), 100, screen));
    else
        EXPECT_TRUE(WriteBmpFileTo(W(name), screen));
    return ReadWholeFile(W(name));
}

std::string PictureName(int number, bool jpeg)
{
    char name[32];
    wsprintfA(name, "screen%02d.%s", number, jpeg ? "jpg" : "bmp");
    return name;
}

class CaptureProcessesTest : public ::testing::TestWithParam<std::tuple<int, bool>> {
protected:
    void SetUp() override
    {
        ClearSettingsKey();
        WriteRawSetting(L"Folder", REG_SZ, pictures_.Path(),
                        (lstrlenW(pictures_.Path()) + 1) * sizeof(WCHAR));
    }
    void TearDown() override { ClearSettingsKey(); }

    MainShortcutPresent shortcut_;
    ScratchFolder pictures_;
    ScratchFolder reference_;
};

}  // namespace

TEST_P(CaptureProcessesTest, EveryCaptureStartedTogetherKeepsItsPicture)
{
    const int count = std::get<0>(GetParam());
    const bool jpeg = std::get<1>(GetParam());
    // Started near the wrap, so that the numbers run over 99 to 0.
    const int first = 100 - count / 2;
    WriteDwordSetting(L"Counter", first);
    WriteDwordSetting(L"FileType", jpeg ? 1 : 0);
    ScreenPattern screen(Blocks);

    DWORD start = GetTickCount();
    std::vector<ProgramRun> runs = StartTogether(TavroProgram(), "", count);
    WaitForAll(runs, RunsTimeoutMs);
    DWORD took = GetTickCount() - start;
    int ended = 0;
    for (const ProgramRun& run : runs)
        if (run.exitCode == 0)
            ++ended;

    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i)
        expected.push_back(PictureName((first + i) % 100, jpeg));
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> found = FolderEntries(pictures_.Path());
    const std::vector<unsigned char> picture = ExpectedFile(reference_, jpeg);
    int whole = 0;
    for (const std::string& name : found) {
        std::vector<unsigned char> file = ReadWholeFile(W(pictures_.Join(name.c_str())));
        EXPECT_TRUE(file == picture) << name << ": " << file.size() << " bytes, not the "
                                     << picture.size() << " of the screen's picture";
        whole += file == picture;
    }
    DWORD counter = ReadDwordSetting(L"Counter");
    printf("%dx%d %s: started %d, ended %d, pictures %d (whole %d), counter %d -> %d "
           "(advanced %d), %u ms\n",
           GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), jpeg ? "JPEG" : "BMP",
           count, ended, static_cast<int>(found.size()), whole, first, static_cast<int>(counter),
           (static_cast<int>(counter) - first + 100) % 100, static_cast<unsigned>(took));

    EXPECT_EQ(count, ended);
    EXPECT_EQ(expected, found);
    EXPECT_EQ(static_cast<DWORD>((first + count) % 100), counter);
}

INSTANTIATE_TEST_SUITE_P(Together, CaptureProcessesTest,
                         ::testing::Combine(::testing::Values(2, 4, 8, 12),
                                            ::testing::Bool()),
                         [](const ::testing::TestParamInfo<std::tuple<int, bool>>& info) {
                             return std::to_string(std::get<0>(info.param)) +
                                    (std::get<1>(info.param) ? "Jpeg" : "Bmp");
                         });

// `ulimit -f` on the program: the picture cannot be written, the process
// is not killed for it, leaves no scratch file and counts on as after any
// failed write.
TEST(CaptureProcess, AFileSizeLimitEndsNoCapture)
{
    // Not for the Windows program: a Windows program cannot ignore a Unix
    // signal, and Wine leaves SIGXFSZ as the process inherits it, here at
    // its default, which ends the process. Windows has no such limit, and
    // ./tavro starts the Windows program with the signal ignored.
    if (TavroProgram() == WindowsTavroProgram())
        GTEST_SKIP() << "a file-size limit is a Unix matter the Windows program cannot handle";
    MainShortcutPresent shortcut;
    ScratchFolder pictures;
    ClearSettingsKey();
    WriteRawSetting(L"Folder", REG_SZ, pictures.Path(),
                    (lstrlenW(pictures.Path()) + 1) * sizeof(WCHAR));
    WriteDwordSetting(L"Counter", 40);
    std::vector<ProgramRun> runs;
    {
        FileSizeLimit limit(4096);  // inherited by the process started now
        runs = StartTogether(TavroProgram(), "", 1);
    }
    WaitForAll(runs, 60000);
    EXPECT_EQ(0u, runs[0].exitCode);
    EXPECT_EQ(std::vector<std::string>{}, FolderEntries(pictures.Path()));
    EXPECT_EQ(41u, ReadDwordSetting(L"Counter"));
    ClearSettingsKey();
}

// A picture the user made read-only under the number the capture takes is
// kept as it is: the capture fails as a failed write does, leaves no
// scratch file and counts on.
TEST(CaptureProcess, AReadOnlyPictureIsNeverReplaced)
{
    MainShortcutPresent shortcut;
    ScratchFolder pictures;
    ClearSettingsKey();
    WriteRawSetting(L"Folder", REG_SZ, pictures.Path(),
                    (lstrlenW(pictures.Path()) + 1) * sizeof(WCHAR));
    WriteDwordSetting(L"Counter", 7);
    std::u16string kept = pictures.Join("screen07.bmp");
    HANDLE file = CreateFileW(W(kept), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "kept", 4, &written, nullptr);
    CloseHandle(file);
    SetFileAttributesW(W(kept), FILE_ATTRIBUTE_READONLY);

    std::vector<ProgramRun> runs = StartTogether(TavroProgram(), "", 1);
    WaitForAll(runs, 60000);
    EXPECT_EQ(0u, runs[0].exitCode);
    std::vector<unsigned char> bytes = ReadWholeFile(W(kept));
    EXPECT_EQ("kept", std::string(bytes.begin(), bytes.end()));
    EXPECT_NE(0u, GetFileAttributesW(W(kept)) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::vector<std::string>{"screen07.bmp"}, FolderEntries(pictures.Path()));
    EXPECT_EQ(8u, ReadDwordSetting(L"Counter"));
    SetFileAttributesW(W(kept), FILE_ATTRIBUTE_NORMAL);
    ClearSettingsKey();
}
