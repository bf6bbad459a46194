// What stands in a writer's way: entries under its scratch names, a
// read-only picture, a file-size limit, a second writer of the same name.
// Each case runs for both writers, which open their scratch files in
// different ways (CreateFileW and stdio).
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "output/BmpWriter.h"
#include "output/FileCommit.h"
#include "output/JpegWriter.h"
#include "output/PictureFiles.h"
#include "platform/WideCrt.h"
#include "support/TestSupport.h"

namespace {

struct Writer {
    const char* name;
    const char* picture;  // final file name
    bool (*write)(const WCHAR* fileName, const DibImage& image);
};

bool WriteBmp(const WCHAR* fileName, const DibImage& image)
{
    return WriteBmpFileTo(fileName, image);
}

bool WriteJpeg(const WCHAR* fileName, const DibImage& image)
{
    return WriteJpegFile(fileName, 90, image) == 1;
}

void PrintTo(const Writer& writer, std::ostream* out)
{
    *out << writer.name;
}

const Writer Writers[] = {{"Bmp", "screen07.bmp", WriteBmp}, {"Jpeg", "screen07.jpg", WriteJpeg}};

DWORD Stripes(int x, int y)
{
    return (x / 4 + y / 3) % 2 ? 0x20C040 : static_cast<DWORD>(x * 7 + y * 3) & 0xFFFFFF;
}

DWORD Checks(int x, int y)
{
    return ((x / 8) ^ (y / 8)) & 1 ? 0xF01020 : 0x1020F0;
}

// Every entry of a folder as the host lists it: Wine's own listing leaves
// out dangling links.
std::vector<std::string> HostEntries(const WCHAR* folder)
{
    std::vector<std::string> names;
    DIR* listing = opendir(UnixPath(U16(folder)).c_str());
    if (!listing)
        return names;
    while (dirent* entry = readdir(listing))
        if (strcmp(entry->d_name, ".") && strcmp(entry->d_name, ".."))
            names.push_back(entry->d_name);
    closedir(listing);
    std::sort(names.begin(), names.end());
    return names;
}

class FileCommitTest : public ::testing::TestWithParam<Writer> {
protected:
    FileCommitTest()
    {
        EXPECT_TRUE(small_.Create(61, 47));
        FillPicture(small_, Stripes);
        EXPECT_TRUE(large_.Create(480, 640));
        FillPicture(large_, Checks);
    }

    const Writer& writer() const { return GetParam(); }

    // The file an undisturbed write of the picture gives.
    std::vector<unsigned char> Reference(const DibImage& image)
    {
        std::u16string name = elsewhere_.Join(writer().picture);
        EXPECT_TRUE(writer().write(W(name), image));
        return ReadWholeFile(W(name));
    }

    ScratchFolder folder_;
    ScratchFolder elsewhere_;
    DibImage small_;
    DibImage large_;
};

}  // namespace

// Whatever stands under a scratch name, a symbolic link (dangling, or to
// someone's file), a FIFO, a user's own file, a read-only file or a folder,
// is passed over: nothing is followed, opened, written, or removed.
TEST_P(FileCommitTest, EntriesUnderScratchNamesAreNeitherFollowedNorTouched)
{
    std::vector<unsigned char> reference = Reference(small_);
    std::u16string picture = folder_.Join(writer().picture);
    std::u16string names[6];
    for (unsigned k = 0; k < 6; ++k) {
        WCHAR name[MAX_PATH];
        ASSERT_TRUE(UpcomingScratchName(W(picture), k, name, MAX_PATH));
        names[k] = U16(name);
        ASSERT_EQ(U16(folder_.Path()) + u"\\", names[k].substr(0, names[k].rfind(u'\\') + 1));
    }
    char dangling[128];
    wsprintfA(dangling, "/tmp/tavro-dangling-%lu-%s", GetCurrentProcessId(), writer().name);
    unlink(dangling);
    ASSERT_EQ(0, symlink(dangling, UnixPath(names[0]).c_str()));
    std::u16string victim = elsewhere_.Join("victim.txt");
    WriteText(victim, "victim");
    ASSERT_EQ(0, symlink(UnixPath(victim).c_str(), UnixPath(names[1]).c_str()));
    ASSERT_EQ(0, mkfifo(UnixPath(names[2]).c_str(), 0666));
    // A reader keeps a wrongly opened FIFO from blocking the writer, and
    // would see what was written into it.
    int fifoReader = open(UnixPath(names[2]).c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fifoReader, 0);
    WriteText(names[3], "mine");
    WriteText(names[4], "mine, read-only");
    ASSERT_TRUE(SetFileAttributesW(W(names[4]), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryW(W(names[5]), nullptr));
    std::vector<std::string> planted = HostEntries(folder_.Path());
    ASSERT_EQ(6u, planted.size());

    EXPECT_TRUE(writer().write(W(picture), small_));

    EXPECT_EQ(reference, ReadWholeFile(W(picture)));
    EXPECT_NE(0, access(dangling, F_OK)) << "the dangling link was followed";
    EXPECT_EQ("victim", TextOf(victim));
    char byte;
    EXPECT_GE(0, read(fifoReader, &byte, 1)) << "the FIFO was written";
    close(fifoReader);
    struct stat status;
    ASSERT_EQ(0, lstat(UnixPath(names[2]).c_str(), &status));
    EXPECT_TRUE(S_ISFIFO(status.st_mode));
    ASSERT_EQ(0, lstat(UnixPath(names[0]).c_str(), &status));
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    EXPECT_EQ("mine", TextOf(names[3]));
    EXPECT_EQ("mine, read-only", TextOf(names[4]));
    EXPECT_TRUE(GetFileAttributesW(W(names[4])) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(GetFileAttributesW(W(names[5])) & FILE_ATTRIBUTE_DIRECTORY);
    planted.push_back(Utf8(W(picture.substr(picture.rfind(u'\\') + 1))));
    std::sort(planted.begin(), planted.end());
    EXPECT_EQ(planted, HostEntries(folder_.Path()));
    SetFileAttributesW(W(names[4]), FILE_ATTRIBUTE_NORMAL);
}

// Entries under the name the scratch file had before (screenNN.tmp), a
// folder or a read-only file, block nothing and stay.
TEST_P(FileCommitTest, OldStyleScratchNamesBlockNothing)
{
    std::vector<unsigned char> reference = Reference(small_);
    std::u16string picture = folder_.Join(writer().picture);
    ASSERT_TRUE(CreateDirectoryW(W(folder_.Join("screen07.tmp")), nullptr));
    std::u16string other = folder_.Join("screen08.tmp");
    WriteText(other, "someone's");
    ASSERT_TRUE(SetFileAttributesW(W(other), FILE_ATTRIBUTE_READONLY));
    std::string next = writer().picture;
    next[7] = '8';
    EXPECT_TRUE(writer().write(W(picture), small_));
    EXPECT_TRUE(writer().write(W(folder_.Join(next.c_str())), small_));
    EXPECT_EQ(reference, ReadWholeFile(W(picture)));
    EXPECT_EQ(reference, ReadWholeFile(W(folder_.Join(next.c_str()))));
    EXPECT_EQ("someone's", TextOf(other));
    SetFileAttributesW(W(other), FILE_ATTRIBUTE_NORMAL);
}

// As when the file cannot be created: no picture is written, the old one
// keeps its bytes and its read-only mark.
TEST_P(FileCommitTest, AReadOnlyPictureIsNeverReplaced)
{
    std::u16string picture = folder_.Join(writer().picture);
    WriteText(picture, "older picture");
    ASSERT_TRUE(SetFileAttributesW(W(picture), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(writer().write(W(picture), small_));
    EXPECT_EQ("older picture", TextOf(picture));
    EXPECT_TRUE(GetFileAttributesW(W(picture)) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(std::vector<std::string>{writer().picture}, FolderEntries(folder_.Path()));
    SetFileAttributesW(W(picture), FILE_ATTRIBUTE_NORMAL);
}

// The process may write only 8 KB to any file, and SIGXFSZ is at its
// default, which ends a process: the write fails like a short one, the
// scratch file goes, the older picture stays, the process lives on.
TEST_P(FileCommitTest, AFileSizeLimitFailsTheWriteInsteadOfEndingTheProcess)
{
    std::u16string picture = folder_.Join(writer().picture);
    WriteText(picture, "older picture");
    bool written;
    {
        FileSizeLimit limit(8192);
        written = writer().write(W(picture), large_);
    }

    EXPECT_FALSE(written);
    EXPECT_EQ("older picture", TextOf(picture));
    EXPECT_EQ(std::vector<std::string>{writer().picture}, FolderEntries(folder_.Path()));
}

// The longest name a picture may have (259 characters) leaves room for the
// scratch name beside it.
TEST_P(FileCommitTest, APictureNameOfTheLongestLengthIsWritten)
{
    std::vector<unsigned char> reference = Reference(small_);
    std::u16string longFolder = U16(folder_.Path()) + u"\\";
    longFolder += std::u16string(259 - 13 - longFolder.size(), u'd');
    ASSERT_TRUE(CreateDirectoryW(W(longFolder), nullptr));
    std::u16string picture = longFolder + u"\\" + Utf16(writer().picture);
    ASSERT_EQ(259u, picture.size());
    EXPECT_TRUE(writer().write(W(picture), small_));
    EXPECT_EQ(reference, ReadWholeFile(W(picture)));
    EXPECT_EQ(std::vector<std::string>{writer().picture}, FolderEntries(W(longFolder)));
}

namespace {

struct SameNameWriter {
    const Writer* writer;
    const WCHAR* name;
    const DibImage* image;
    int failures;
};

DWORD WINAPI WriteTwentyTimes(void* state)
{
    SameNameWriter& w = *static_cast<SameNameWriter*>(state);
    for (int i = 0; i < 20; ++i)
        if (!w.writer->write(w.name, *w.image))
            ++w.failures;
    return 0;
}

}  // namespace

// Two writers of one name at the same time: each writes its own scratch
// file, every write succeeds, and the name always holds one whole picture.
TEST_P(FileCommitTest, TwoWritersOfOneNameNeverMixTheirBytes)
{
    std::vector<unsigned char> first = Reference(small_);
    std::vector<unsigned char> second = Reference(large_);
    std::u16string picture = folder_.Join(writer().picture);
    SameNameWriter a = {&writer(), W(picture), &small_, 0};
    SameNameWriter b = {&writer(), W(picture), &large_, 0};
    HANDLE threads[2] = {CreateThread(nullptr, 0, WriteTwentyTimes, &a, 0, nullptr),
                         CreateThread(nullptr, 0, WriteTwentyTimes, &b, 0, nullptr)};
    bool whole = true;
    while (WaitForMultipleObjects(2, threads, TRUE, 0) == WAIT_TIMEOUT) {
        std::vector<unsigned char> now = ReadWholeFile(W(picture));
        if (!now.empty() && now != first && now != second)
            whole = false;
    }
    CloseHandle(threads[0]);
    CloseHandle(threads[1]);
    EXPECT_TRUE(whole) << "a reader found a mixed or partial picture";
    EXPECT_EQ(0, a.failures);
    EXPECT_EQ(0, b.failures);
    std::vector<unsigned char> last = ReadWholeFile(W(picture));
    EXPECT_TRUE(last == first || last == second);
    EXPECT_EQ(std::vector<std::string>{writer().picture}, FolderEntries(folder_.Path()));
}

INSTANTIATE_TEST_SUITE_P(Writers, FileCommitTest, ::testing::ValuesIn(Writers),
                         [](const ::testing::TestParamInfo<Writer>& info) {
                             return std::string(info.param.name);
                         });

// What killed writers left goes; the file of a writer that still holds it
// stays (the platform refuses to delete it), and so do names that only
// look like scratch names.
TEST(DeadScratchFiles, GoWhileALiveWritersFileAndLookAlikesStay)
{
    ScratchFolder folder;
    std::u16string picture = folder.Join("screen03.bmp");
    WriteText(picture, "picture");
    WCHAR live[MAX_PATH];
    WCHAR dead[MAX_PATH];
    HANDLE holder = CreateScratchFile(W(picture), live, MAX_PATH);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    // A killed writer's handle is closed by the end of its process.
    HANDLE gone = CreateScratchFile(W(picture), dead, MAX_PATH);
    ASSERT_NE(INVALID_HANDLE_VALUE, gone);
    CloseHandle(gone);
    const char* lookAlikes[] = {"tv00000g.tmp", "tv0000001.tmp", "tv00001.tmp", "tv000001.tmp.bmp",
                                "xv000001.tmp"};
    for (const char* name : lookAlikes)
        WriteText(folder.Join(name), "someone's");
    ASSERT_TRUE(CreateDirectoryW(W(folder.Join("tv00abcd.tmp")), nullptr));
    std::vector<std::string> kept = FolderEntries(folder.Path());
    kept.erase(std::find(kept.begin(), kept.end(), Utf8(dead + WideLength(folder.Path()) + 1)));

    EXPECT_EQ(1, RemoveDeadScratchFiles(W(picture)));
    EXPECT_EQ(kept, FolderEntries(folder.Path()));

    CloseHandle(holder);
    EXPECT_EQ(1, RemoveDeadScratchFiles(W(picture)));
    EXPECT_FALSE(FileExists(live));
    EXPECT_EQ("picture", TextOf(picture));
}

// Under scratch names, a link to someone's file, a link to a folder, a
// link to a picture beside it and a second name of someone's file: each
// entry stays, and so does what it leads to. The dead writer's file goes,
// also with the folder named through another drive (Z:, Wine's Unix root),
// where the names resolve alike. A link put under a failed write's scratch
// name after the file was closed is not followed when the write gives up.
TEST(DeadScratchFiles, LinksAndSecondNamesStayAndSoDoesWhatTheyLeadTo)
{
    ScratchFolder folder;
    ScratchFolder elsewhere;
    std::u16string picture = folder.Join("screen03.bmp");
    WriteText(picture, "picture");
    std::u16string victim = elsewhere.Join("victim.txt");
    WriteText(victim, "victim");
    std::u16string shared = elsewhere.Join("shared.txt");
    WriteText(shared, "shared");
    std::u16string inside = elsewhere.Join("folder");
    ASSERT_TRUE(CreateDirectoryW(W(inside), nullptr));
    WriteText(inside + u"\\kept.txt", "kept");
    const char* planted[] = {"tv000001.tmp", "tv000002.tmp", "tv000003.tmp", "tv000004.tmp"};
    ASSERT_EQ(0, symlink(UnixPath(victim).c_str(), UnixPath(folder.Join(planted[0])).c_str()));
    ASSERT_EQ(0, symlink(UnixPath(inside).c_str(), UnixPath(folder.Join(planted[1])).c_str()));
    ASSERT_EQ(0, symlink("screen03.bmp", UnixPath(folder.Join(planted[2])).c_str()));
    ASSERT_EQ(0, link(UnixPath(shared).c_str(), UnixPath(folder.Join(planted[3])).c_str()));
    WCHAR dead[MAX_PATH];
    HANDLE gone = CreateScratchFile(W(picture), dead, MAX_PATH);
    ASSERT_NE(INVALID_HANDLE_VALUE, gone);
    CloseHandle(gone);
    std::vector<std::string> kept = HostEntries(folder.Path());
    kept.erase(std::find(kept.begin(), kept.end(), Utf8(dead + WideLength(folder.Path()) + 1)));

    std::string unixPicture = UnixPath(picture);
    std::replace(unixPicture.begin(), unixPicture.end(), '/', '\\');
    EXPECT_EQ(1, RemoveDeadScratchFiles(W(u"Z:" + Utf16(unixPicture.c_str()))));
    EXPECT_EQ(kept, HostEntries(folder.Path()));

    WCHAR failed[MAX_PATH];
    HANDLE closed = CreateScratchFile(W(picture), failed, MAX_PATH);
    ASSERT_NE(INVALID_HANDLE_VALUE, closed);
    CloseHandle(closed);
    ASSERT_EQ(0, unlink(UnixPath(U16(failed)).c_str()));
    ASSERT_EQ(0, symlink(UnixPath(victim).c_str(), UnixPath(U16(failed)).c_str()));
    DiscardScratchFile(failed);

    EXPECT_EQ("victim", TextOf(victim));
    EXPECT_EQ("shared", TextOf(shared));
    EXPECT_EQ("kept", TextOf(inside + u"\\kept.txt"));
    EXPECT_EQ("picture", TextOf(picture));
    struct stat status;
    for (const char* name : planted) {
        ASSERT_EQ(0, lstat(UnixPath(folder.Join(name)).c_str(), &status)) << name;
        EXPECT_TRUE(S_ISLNK(status.st_mode) || status.st_nlink == 2) << name;
    }
    // Taken away here, by the host: the folder's removal through Wine would
    // follow them.
    for (const char* name : planted)
        unlink(UnixPath(folder.Join(name)).c_str());
    unlink(UnixPath(U16(failed)).c_str());
}
