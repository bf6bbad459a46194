// Captures started together: N processes of the real program, let go at
// the same moment on one prefix and one screen, each taking the whole
// screen. Afterwards there are N distinct pictures, each whole, and the
// counter has advanced N times.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>
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

// Captures as a user's start makes them, into a folder of the test's own,
// from settings that hold that folder alone.
class CaptureProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettingsKey();
        WriteFolderSetting(pictures_.Path());
    }
    void TearDown() override { ClearSettingsKey(); }

    MainShortcutPresent shortcut_;
    ScratchFolder pictures_;
};

class CaptureProcessesTest : public CaptureProcess,
                             public ::testing::WithParamInterface<std::tuple<int, bool>> {
protected:
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
    std::ostringstream failures;
    for (const ProgramRun& run : runs) {
        if (run.exitCode == 0)
            ++ended;
        else if (run.startError)
            failures << " not started (error " << run.startError << ")";
        else
            failures << " 0x" << std::hex << run.exitCode << std::dec;
    }

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

    EXPECT_EQ(count, ended) << "exit codes:" << failures.str();
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

namespace {

// What Wine's loader reports loading in the process with this id, from a
// log of the loaddll and pid channels.
std::vector<std::string> DllsLoadedBy(DWORD processId, const std::string& text)
{
    char prefix[16];
    wsprintfA(prefix, "%04lx:", processId);
    std::vector<std::string> dlls;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t name = line.find("Loaded L\"");
        if (line.compare(0, lstrlenA(prefix), prefix) != 0 || name == std::string::npos)
            continue;
        size_t close = line.find('"', name + 9);
        std::string path = line.substr(name + 9, close - name - 9);
        std::string file = path.substr(path.find_last_of('\\') + 1);
        CharLowerA(&file[0]);
        dlls.push_back(file);
    }
    return dlls;
}

}  // namespace

// A capture with no sound and no notice calls nothing of the common
// controls, the shell, COM or the sound system once its shortcut is found,
// and loads none of them: each costs a capture more than its own work.
TEST_F(CaptureProcess, LoadsNothingItDoesNotCall)
{
    // This process holds the desktop, so the capture starts no desktop
    // process (which loads all of them) on the same log.
    GetSystemMetrics(SM_CXSCREEN);

    // Wine's loader reports to the host's standard error, which the
    // process started now inherits.
    char logName[] = "/tmp/tavro-loaddll.XXXXXX";
    int logFile = mkstemp(logName);
    ASSERT_NE(-1, logFile);
    fflush(stderr);
    int savedError = dup(2);
    dup2(logFile, 2);
    close(logFile);
    WCHAR debugBefore[256] = {};
    DWORD hadDebug = GetEnvironmentVariableW(L"WINEDEBUG", debugBefore, 256);
    SetEnvironmentVariableW(L"WINEDEBUG", L"-all,+pid,+loaddll");
    std::vector<ProgramRun> runs = StartTogether(TavroProgram(), "", 1);
    SetEnvironmentVariableW(L"WINEDEBUG", hadDebug ? debugBefore : nullptr);
    DWORD processId = runs[0].process ? GetProcessId(runs[0].process) : 0;
    WaitForAll(runs, 60000);
    dup2(savedError, 2);
    close(savedError);

    std::ifstream logStream(logName);
    std::stringstream log;
    log << logStream.rdbuf();
    unlink(logName);
    EXPECT_EQ(0u, runs[0].exitCode);
    EXPECT_TRUE(FileExists(W(pictures_.Join("screen00.bmp"))));
    std::vector<std::string> loaded = DllsLoadedBy(processId, log.str());
    auto Loaded = [&](const char* dll) {
        return std::find(loaded.begin(), loaded.end(), dll) != loaded.end();
    };
    ASSERT_TRUE(Loaded("user32.dll")) << "the loader's report was not found";
    for (const char* dll : {"comctl32.dll", "shell32.dll", "ole32.dll", "oleaut32.dll",
                            "winmm.dll", "msacm32.dll"})
        EXPECT_FALSE(Loaded(dll)) << dll << " was loaded";
}

// `ulimit -f` on the program: the picture cannot be written, the process
// is not killed for it, leaves no scratch file and counts on as after any
// failed write.
TEST_F(CaptureProcess, AFileSizeLimitEndsNoCapture)
{
    // Not for the Windows program: a Windows program cannot ignore a Unix
    // signal, and Wine leaves SIGXFSZ as the process inherits it, here at
    // its default, which ends the process. Windows has no such limit, and
    // ./tavro starts the Windows program with the signal ignored.
    if (TavroProgram() == WindowsTavroProgram())
        GTEST_SKIP() << "a file-size limit is a Unix matter the Windows program cannot handle";
    WriteDwordSetting(L"Counter", 40);
    std::vector<ProgramRun> runs;
    {
        FileSizeLimit limit(4096);  // inherited by the process started now
        runs = StartTogether(TavroProgram(), "", 1);
    }
    WaitForAll(runs, 60000);
    EXPECT_EQ(0u, runs[0].exitCode);
    EXPECT_EQ(std::vector<std::string>{}, FolderEntries(pictures_.Path()));
    EXPECT_EQ(41u, ReadDwordSetting(L"Counter"));
}

// Writers killed while writing leave their scratch files. The next capture
// into the folder removes them, but not the file of a writer still at
// work; once that one is killed too, the capture after leaves nothing but
// pictures.
TEST_F(CaptureProcess, TheNextCaptureRemovesWhatKilledWritersLeft)
{
    WriteDwordSetting(L"Counter", 10);
    std::vector<ProgramRun> killed;
    for (int i = 0; i < 3; ++i) {
        killed.push_back(StartScratchWriter(pictures_.Path()));
        ASSERT_TRUE(killed.back().process);
        TerminateProcess(killed.back().process, 9);
    }
    WaitForAll(killed, 5000);
    std::vector<std::string> dead = ScratchFilesIn(pictures_.Path());
    ASSERT_EQ(3u, dead.size());

    std::vector<ProgramRun> live = {StartScratchWriter(pictures_.Path())};
    ASSERT_TRUE(live[0].process);
    std::vector<std::string> held;
    for (const std::string& name : ScratchFilesIn(pictures_.Path()))
        if (std::find(dead.begin(), dead.end(), name) == dead.end())
            held.push_back(name);
    ASSERT_EQ(1u, held.size());
    std::vector<ProgramRun> capture = StartTogether(TavroProgram(), "", 1);
    WaitForAll(capture, 60000);
    EXPECT_EQ(0u, capture[0].exitCode);
    EXPECT_EQ(held, ScratchFilesIn(pictures_.Path())) << "only the live writer's file stays";
    EXPECT_TRUE(FileExists(W(pictures_.Join("screen10.bmp"))));

    TerminateProcess(live[0].process, 9);
    WaitForAll(live, 5000);
    capture = StartTogether(TavroProgram(), "", 1);
    WaitForAll(capture, 60000);
    EXPECT_EQ((std::vector<std::string>{"screen10.bmp", "screen11.bmp"}),
              FolderEntries(pictures_.Path()));
}

// Whoever can write into the picture folder plants links under scratch
// names: to a file elsewhere, to a folder, to a picture beside them. The
// capture's sweep follows none of them and leaves each as it was, and
// still removes what a killed writer left.
TEST_F(CaptureProcess, TheSweepFollowsNoPlantedLink)
{
    ScratchFolder elsewhere;
    std::u16string victim = elsewhere.Join("victim.txt");
    WriteText(victim, "victim");
    std::u16string inside = elsewhere.Join("folder");
    ASSERT_TRUE(CreateDirectoryW(W(inside), nullptr));
    WriteText(inside + u"\\kept.txt", "kept");
    std::u16string picture = pictures_.Join("screen01.bmp");
    WriteText(picture, "older picture");
    const char* links[] = {"tv000001.tmp", "tv000002.tmp", "tv000003.tmp"};
    const std::string targets[] = {UnixPath(victim), UnixPath(inside), "screen01.bmp"};
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(0, symlink(targets[i].c_str(), UnixPath(pictures_.Join(links[i])).c_str()));
    std::vector<ProgramRun> killed = {StartScratchWriter(pictures_.Path())};
    ASSERT_TRUE(killed[0].process);
    TerminateProcess(killed[0].process, 9);
    WaitForAll(killed, 5000);
    ASSERT_EQ(4u, ScratchFilesIn(pictures_.Path()).size());
    WriteDwordSetting(L"Counter", 5);

    std::vector<ProgramRun> runs = StartTogether(TavroProgram(), "", 1);
    WaitForAll(runs, 60000);
    EXPECT_EQ(0u, runs[0].exitCode);
    EXPECT_EQ("victim", TextOf(victim));
    EXPECT_EQ("kept", TextOf(inside + u"\\kept.txt"));
    EXPECT_EQ("older picture", TextOf(picture));
    struct stat status;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(0, lstat(UnixPath(pictures_.Join(links[i])).c_str(), &status)) << links[i];
        EXPECT_TRUE(S_ISLNK(status.st_mode)) << links[i];
    }
    EXPECT_EQ((std::vector<std::string>{"screen01.bmp", "screen05.bmp", "tv000001.tmp",
                                        "tv000002.tmp", "tv000003.tmp"}),
              FolderEntries(pictures_.Path()));
    // Taken away by the host: the folder's removal through Wine would
    // follow them.
    for (const char* link : links)
        unlink(UnixPath(pictures_.Join(link)).c_str());
}

// A picture the user made read-only under the number the capture takes is
// kept as it is: the capture fails as a failed write does, leaves no
// scratch file and counts on.
TEST_F(CaptureProcess, AReadOnlyPictureIsNeverReplaced)
{
    std::u16string kept = pictures_.Join("screen07.bmp");
    HANDLE file = CreateFileW(W(kept), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    WriteFile(file, "kept", 4, &written, nullptr);
    CloseHandle(file);
    SetFileAttributesW(W(kept), FILE_ATTRIBUTE_READONLY);
    // Stored after the picture was made, as a user sets it: the number means
    // what it says.
    WriteDwordSetting(L"Counter", 7);

    std::vector<ProgramRun> runs = StartTogether(TavroProgram(), "", 1);
    WaitForAll(runs, 60000);
    EXPECT_EQ(0u, runs[0].exitCode);
    std::vector<unsigned char> bytes = ReadWholeFile(W(kept));
    EXPECT_EQ("kept", std::string(bytes.begin(), bytes.end()));
    EXPECT_NE(0u, GetFileAttributesW(W(kept)) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::vector<std::string>{"screen07.bmp"}, FolderEntries(pictures_.Path()));
    EXPECT_EQ(8u, ReadDwordSetting(L"Counter"));
    SetFileAttributesW(W(kept), FILE_ATTRIBUTE_NORMAL);
}
