#include "output/JpegWriter.h"

#include <signal.h>
#include <sys/resource.h>

#include "output/JpegCompressor.h"
#include "output/PictureFiles.h"
#include "platform/WideCrt.h"
#include "support/TestSupport.h"
#include "tests/reference/JpegBaseline.h"

namespace {

DWORD Busy(int x, int y)
{
    DWORD red = (x * 5 + y) & 0xFF;
    DWORD green = ((x / 8) ^ (y / 8)) & 1 ? 0xF0 : 0x10;
    DWORD blue = (x * y) & 0xFF;
    return red << 16 | green << 8 | blue;
}

DWORD RedOverBlue(int, int y)
{
    return y < 40 ? 0xFF0000 : 0x0000FF;
}

struct Picture {
    Picture(int width, int height, PictureColour colour = Busy)
    {
        EXPECT_TRUE(image.Create(width, height));
        FillPicture(image, colour);
    }
    DibImage image;
};

std::vector<BYTE> Written(const ScratchFolder& folder, int quality, const DibImage& image)
{
    std::u16string name = folder.Join("screen00.jpg");
    EXPECT_EQ(1, WriteJpegFile(W(name), quality, image));
    return ReadWholeFile(W(name));
}

}  // namespace

// The file is what the system's own encoder makes of the same pixels,
// including for a width whose stored rows are padded (241: pitch 732).
TEST(JpegWriter, SameBytesAsCjpeg)
{
    ScratchFolder folder;
    for (int width : {240, 241, 242, 17}) {
        Picture picture(width, 320);
        for (int quality : {90, 100, 1}) {
            SCOPED_TRACE(testing::Message() << width << " at " << quality);
            std::vector<BYTE> ours = Written(folder, quality, picture.image);
            std::vector<BYTE> theirs =
                CjpegBytes(folder, width, 320, TopDownRgb(picture.image), quality);
            ASSERT_FALSE(theirs.empty());
            ASSERT_EQ(theirs, ours);
        }
    }
}

TEST(JpegWriter, BaselineJfif)
{
    ScratchFolder folder;
    Picture picture(64, 48);
    std::vector<BYTE> file = Written(folder, 90, picture.image);
    ASSERT_GT(file.size(), 20u);
    EXPECT_EQ(0xFF, file[0]);
    EXPECT_EQ(0xD8, file[1]);  // start of image
    EXPECT_EQ(0xE0, file[3]);  // APP0
    EXPECT_EQ(0, memcmp(&file[6], "JFIF", 5));
    EXPECT_EQ(1, file[11]);  // version 1.01
    EXPECT_EQ(1, file[12]);
    bool baselineFrame = false;
    for (size_t i = 0; i + 1 < file.size(); ++i)
        baselineFrame |= file[i] == 0xFF && file[i + 1] == 0xC0;
    EXPECT_TRUE(baselineFrame);
    EXPECT_EQ(0xFF, file[file.size() - 2]);
    EXPECT_EQ(0xD9, file[file.size() - 1]);  // end of image
}

TEST(JpegWriter, QualityIsLimitedByTheLibrary)
{
    ScratchFolder folder;
    Picture picture(80, 60);
    EXPECT_EQ(Written(folder, 100, picture.image), Written(folder, 120, picture.image));
    EXPECT_EQ(Written(folder, 1, picture.image), Written(folder, 0, picture.image));
    EXPECT_EQ(Written(folder, 1, picture.image), Written(folder, -5, picture.image));
    EXPECT_NE(Written(folder, 1, picture.image), Written(folder, 100, picture.image));
}

TEST(JpegWriter, DecodesUpright)
{
    ScratchFolder folder;
    Picture picture(64, 80, RedOverBlue);
    std::u16string name = folder.Join("screen00.jpg");
    ASSERT_EQ(1, WriteJpegFile(W(name), 100, picture.image));
    int width = 0, height = 0;
    std::vector<BYTE> rgb;
    ASSERT_TRUE(DjpegDecode(folder, name, width, height, rgb));
    ASSERT_EQ(64, width);
    ASSERT_EQ(80, height);
    const BYTE* top = &rgb[(5 * 64 + 30) * 3];
    const BYTE* bottom = &rgb[(75 * 64 + 30) * 3];
    EXPECT_GT(top[0], 240);
    EXPECT_LT(top[2], 15);
    EXPECT_LT(bottom[0], 15);
    EXPECT_GT(bottom[2], 240);
}

TEST(JpegWriter, ReplacesAnOlderFile)
{
    ScratchFolder folder;
    std::u16string name = folder.Join("screen00.jpg");
    FILE* old = _wfopen(W(name), L"wb");
    ASSERT_TRUE(old);
    std::vector<BYTE> junk(300000, 0x77);
    fwrite(junk.data(), 1, junk.size(), old);
    fclose(old);
    Picture picture(32, 32);
    std::vector<BYTE> file = Written(folder, 75, picture.image);
    EXPECT_EQ(CjpegBytes(folder, 32, 32, TopDownRgb(picture.image), 75), file);
    EXPECT_FALSE(FileExists(W(folder.Join("screen00.tmp"))));
    EXPECT_EQ(std::vector<std::string>{}, ScratchFilesIn(folder.Path()));
}

TEST(JpegWriter, MissingFolderWritesNothing)
{
    ScratchFolder folder;
    Picture picture(16, 16);
    std::u16string name = folder.Join("absent\\screen00.jpg");
    EXPECT_EQ(0, WriteJpegFile(W(name), 90, picture.image));
    EXPECT_FALSE(FileExists(W(name)));
}

TEST(JpegWriter, EmptyPictureWritesNothing)
{
    ScratchFolder folder;
    DibImage empty;
    std::u16string name = folder.Join("screen00.jpg");
    EXPECT_EQ(0, WriteJpegFile(W(name), 90, empty));
    EXPECT_FALSE(FileExists(W(name)));
    // A size the library refuses ends at the recovery point.
    BYTE pixel[3] = {};
    for (int width : {0, 70000}) {
        FILE* file = _wfopen(W(name), L"wb");  // closed by the compressor
        ASSERT_TRUE(file);
        EXPECT_EQ(0, CompressRgbToStream(file, width, 1, 90, pixel)) << width;
    }
}

// A full medium: the library's write error comes back as result 0.
TEST(JpegWriter, FullDeviceFails)
{
    Picture picture(240, 320);
    std::vector<BYTE> rgb = TopDownRgb(picture.image);
    FILE* full = _wfopen(L"Z:\\dev\\full", L"wb");  // closed by the compressor
    ASSERT_TRUE(full);
    EXPECT_EQ(0, CompressRgbToStream(full, 240, 320, 100, rgb.data()));
}

// The medium fills part-way through the file: the process may write only
// 8 KB to any file (this works for root too). No truncated picture is left,
// and an older one of the same name survives.
TEST(JpegWriter, FailurePartWayLeavesNoTruncatedFile)
{
    ScratchFolder folder;
    std::u16string name = folder.Join("screen07.jpg");
    FILE* old = _wfopen(W(name), L"wb");
    ASSERT_TRUE(old);
    fputs("older picture", old);
    fclose(old);

    Picture picture(480, 640);
    rlimit saved;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    rlimit limited = saved;
    limited.rlim_cur = 8192;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));
    int result = WriteJpegFile(W(name), 100, picture.image);
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);

    EXPECT_EQ(0, result);
    std::vector<BYTE> kept = ReadWholeFile(W(name));
    EXPECT_EQ("older picture", std::string(kept.begin(), kept.end()));
    EXPECT_FALSE(FileExists(W(folder.Join("screen07.tmp"))));
    EXPECT_EQ(std::vector<std::string>{"screen07.jpg"}, FolderEntries(folder.Path()));
}

// The benchmark times the writer against libjpeg fed packed rows: both
// must make the same file.
TEST(JpegWriter, SameBytesAsTheBenchmarkBaseline)
{
    ScratchFolder folder;
    Picture picture(241, 40);
    std::vector<BYTE> ours = Written(folder, 90, picture.image);
    std::u16string name = folder.Join("baseline.jpg");
    std::vector<BYTE> rgb = TopDownRgb(picture.image);
    std::string path = UnixPath(U16(folder.Path()));
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(CompressPackedRgb((path + "/baseline.jpg").c_str(), 241, 40, 90, rgb.data()));
    EXPECT_EQ(ours, ReadWholeFile(W(name)));
}

TEST(JpegWriter, PacksRowsTopDownInRedGreenBlue)
{
    for (int width : {1, 5, 6, 7, 11, 241, 480}) {
        Picture picture(width, 3);
        std::vector<BYTE> rgb(width * 3 * 3 + 1, 0xEE);
        PackRgbRows(picture.image, rgb.data());
        EXPECT_EQ(0xEE, rgb.back()) << width;  // nothing written past the rows
        rgb.pop_back();
        EXPECT_EQ(TopDownRgb(picture.image), rgb) << width;
    }
    Picture picture(241, 3);
    std::vector<BYTE> rgb(241 * 3 * 3);
    PackRgbRows(picture.image, rgb.data());
    DWORD first = Busy(0, 0);
    EXPECT_EQ(static_cast<BYTE>(first >> 16), rgb[0]);
    EXPECT_EQ(static_cast<BYTE>(first), rgb[2]);
}
