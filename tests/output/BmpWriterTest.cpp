#include <string.h>

#include "app/Settings.h"
#include "output/BmpWriter.h"
#include "platform/WideCrt.h"
#include "support/TestSupport.h"

namespace {

// A picture whose every byte, padding included, tells where it lies.
void FillNumbered(DibImage& image)
{
    const int pitch = image.RowPitch();
    for (int row = 0; row < image.height; ++row)
        for (int i = 0; i < pitch; ++i)
            image.bits[row * pitch + i] = static_cast<BYTE>(row * 31 + i * 7);
}

void ExpectBmpOf(const DibImage& image, const std::vector<unsigned char>& file)
{
    const unsigned rowBytes = BmpFileRowBytes(image.width);
    ASSERT_EQ(54 + rowBytes * image.height, file.size());
    EXPECT_EQ('B', file[0]);
    EXPECT_EQ('M', file[1]);
    EXPECT_EQ(file.size(), ReadU32(file, 2));
    EXPECT_EQ(0u, ReadU32(file, 6));
    EXPECT_EQ(54u, ReadU32(file, 10));
    EXPECT_EQ(40u, ReadU32(file, 14));
    EXPECT_EQ(static_cast<unsigned>(image.width), ReadU32(file, 18));
    EXPECT_EQ(static_cast<unsigned>(image.height), ReadU32(file, 22));
    EXPECT_EQ(1u, ReadU16(file, 26));
    EXPECT_EQ(24u, ReadU16(file, 28));
    EXPECT_EQ(0u, ReadU32(file, 30));
    EXPECT_EQ(rowBytes * image.height, ReadU32(file, 34));
    for (size_t offset = 38; offset < 54; offset += 4)
        EXPECT_EQ(0u, ReadU32(file, offset)) << "offset " << offset;
    for (int row = 0; row < image.height; ++row)
        ASSERT_EQ(0, memcmp(file.data() + 54 + row * rowBytes,
                            image.bits + row * image.RowPitch(), rowBytes))
            << "row " << row;
}

}  // namespace

TEST(BmpWriter, FileRowsAreTheStoredRowsCutToFourByteMultiples)
{
    const int widths[] = {1, 2, 3, 240, 241, 242, 243};
    const unsigned rowBytes[] = {4, 8, 12, 720, 724, 728, 732};
    ScratchFolder folder;
    for (size_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(widths[i]);
        EXPECT_EQ(rowBytes[i], static_cast<unsigned>(BmpFileRowBytes(widths[i])));
        DibImage image;
        ASSERT_TRUE(image.Create(widths[i], 5));
        FillNumbered(image);
        std::u16string name = folder.Join("picture.bmp");
        ASSERT_TRUE(WriteBmpFileTo(W(name), image));
        ExpectBmpOf(image, ReadWholeFile(W(name)));
    }
}

TEST(BmpWriter, ScreenSizedPicturesHaveTheKnownSizes)
{
    ScratchFolder folder;
    std::u16string name = folder.Join("screen00.bmp");
    DibImage portrait;
    ASSERT_TRUE(portrait.Create(240, 320));
    FillNumbered(portrait);
    ASSERT_TRUE(WriteBmpFileTo(W(name), portrait));
    std::vector<unsigned char> file = ReadWholeFile(W(name));
    EXPECT_EQ(230454u, file.size());
    EXPECT_EQ(0, memcmp(file.data() + 54, portrait.bits, 230400));

    DibImage odd;
    ASSERT_TRUE(odd.Create(241, 320));
    FillNumbered(odd);
    ASSERT_TRUE(WriteBmpFileTo(W(name), odd));
    file = ReadWholeFile(W(name));
    EXPECT_EQ(231734u, file.size());  // replaced, not appended to
    ExpectBmpOf(odd, file);
}

TEST(BmpWriter, WritesToOutputPath)
{
    ScratchFolder folder;
    std::u16string name = folder.Join("screen03.bmp");
    lstrcpyW(OutputPath, W(name));
    DibImage image;
    ASSERT_TRUE(image.Create(3, 3));
    FillNumbered(image);
    EXPECT_TRUE(WriteBmpFile(image));
    ExpectBmpOf(image, ReadWholeFile(W(name)));
    OutputPath[0] = 0;
}

TEST(BmpWriter, FailuresLeaveNoPartialFileAndKeepTheOlderPicture)
{
    ScratchFolder folder;
    DibImage image;
    ASSERT_TRUE(image.Create(4, 4));
    FillNumbered(image);

    std::u16string missing = folder.Join("no such folder\\screen00.bmp");
    EXPECT_FALSE(WriteBmpFileTo(W(missing), image));
    EXPECT_FALSE(FileExists(W(missing)));

    // An older picture stays whole when the new one cannot be written: here
    // because it is read-only, which no write may replace.
    std::u16string name = folder.Join("screen01.bmp");
    ASSERT_TRUE(WriteBmpFileTo(W(name), image));
    std::vector<unsigned char> older = ReadWholeFile(W(name));
    ASSERT_TRUE(SetFileAttributesW(W(name), FILE_ATTRIBUTE_READONLY));
    DibImage bigger;
    ASSERT_TRUE(bigger.Create(40, 40));
    EXPECT_FALSE(WriteBmpFileTo(W(name), bigger));
    EXPECT_EQ(older, ReadWholeFile(W(name)));
    SetFileAttributesW(W(name), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(std::vector<std::string>{"screen01.bmp"}, FolderEntries(folder.Path()));

    DibImage empty;
    std::u16string never = folder.Join("screen02.bmp");
    EXPECT_FALSE(WriteBmpFileTo(W(never), empty));
    EXPECT_FALSE(FileExists(W(never)));
}

TEST(BmpWriter, AFullDiskLeavesNoTruncatedPictureAndKeepsTheOlderOne)
{
    // The medium takes the headers and then no more: the process may write
    // only 1000 bytes to any file, so the pixel rows fall short.
    ScratchFolder folder;
    std::u16string name = folder.Join("screen05.bmp");
    DibImage older_picture;
    ASSERT_TRUE(older_picture.Create(4, 4));
    FillNumbered(older_picture);
    ASSERT_TRUE(WriteBmpFileTo(W(name), older_picture));
    std::vector<unsigned char> older = ReadWholeFile(W(name));

    DibImage image;
    ASSERT_TRUE(image.Create(64, 64));
    FillNumbered(image);
    bool written;
    {
        FileSizeLimit limit(1000);
        written = WriteBmpFileTo(W(name), image);
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(older, ReadWholeFile(W(name)));
    EXPECT_EQ(std::vector<std::string>{"screen05.bmp"}, FolderEntries(folder.Path()));
}
