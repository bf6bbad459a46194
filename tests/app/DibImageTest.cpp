#include "app/DibImage.h"
#include "support/ScreenPattern.h"
#include "support/TestSupport.h"

namespace {

BITMAPINFOHEADER HeaderOf(const DibImage& image)
{
    DIBSECTION section = {};
    EXPECT_EQ(static_cast<int>(sizeof section), GetObjectW(image.bitmap, sizeof section, &section));
    return section.dsBmih;
}

}  // namespace

TEST(DibImage, RowsHoldTheWidthRoundedUpToFourPixels)
{
    DibImage image;
    ASSERT_TRUE(image.Create(240, 320));
    EXPECT_EQ(240, image.stride);
    EXPECT_EQ(720, image.RowPitch());
    BITMAPINFOHEADER header = HeaderOf(image);
    EXPECT_EQ(240, header.biWidth);
    EXPECT_EQ(320, header.biHeight);
    EXPECT_EQ(24, header.biBitCount);
    EXPECT_EQ(230400u, header.biSizeImage);
    EXPECT_EQ(3780, header.biXPelsPerMeter);
    EXPECT_EQ(3780, header.biYPelsPerMeter);

    DibImage odd;
    ASSERT_TRUE(odd.Create(241, 10));
    EXPECT_EQ(244, odd.stride);
    EXPECT_EQ(732, odd.RowPitch());
    header = HeaderOf(odd);
    EXPECT_EQ(244, header.biWidth);
    EXPECT_EQ(7320u, header.biSizeImage);

    // Column 240 of the top row sits in the last stored row.
    HDC dc = odd.GetMemoryDC();
    ASSERT_NE(nullptr, dc);
    SetPixel(dc, 240, 0, RGB(30, 20, 10));
    GdiFlush();
    EXPECT_EQ(10, odd.bits[7308]);
    EXPECT_EQ(20, odd.bits[7309]);
    EXPECT_EQ(30, odd.bits[7310]);
}

TEST(DibImage, DimHalvesEveryPictureByteAndLeavesThePadding)
{
    DibImage image;
    ASSERT_TRUE(image.Create(5, 2));  // stride 8: three padding pixels a row
    const int pitch = image.RowPitch();
    for (int i = 0; i < pitch * 2; ++i)
        image.bits[i] = 255;
    image.bits[0] = 10;  // blue, green, red of the bottom-left pixel
    image.bits[1] = 20;
    image.bits[2] = 30;
    image.bits[3] = 0;
    image.Dim(25);
    EXPECT_EQ(17, image.bits[0]);
    EXPECT_EQ(22, image.bits[1]);
    EXPECT_EQ(27, image.bits[2]);
    EXPECT_EQ(12, image.bits[3]);
    for (int row = 0; row < 2; ++row) {
        EXPECT_EQ(139, image.bits[row * pitch + 14]);  // last picture byte
        for (int i = 15; i < pitch; ++i)
            EXPECT_EQ(255, image.bits[row * pitch + i]) << "row " << row << " byte " << i;
    }
}

TEST(DibImage, EmptyImagesAreHarmless)
{
    DibImage never;
    never.Dim(25);
    EXPECT_EQ(nullptr, never.bits);

    DibImage empty;
    empty.CaptureFrom(GetDC(nullptr), 10, 10, 10, 20);
    EXPECT_EQ(nullptr, empty.bitmap);
    empty.CaptureFrom(GetDC(nullptr), 10, 10, 5, 20);
    EXPECT_EQ(nullptr, empty.bitmap);
}

TEST(DibImage, DrawToClosesTheOpenMemoryContext)
{
    DibImage image;
    ASSERT_TRUE(image.Create(8, 8));
    HDC first = image.GetMemoryDC();
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, image.GetMemoryDC());

    HDC target = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateBitmap(8, 8, 1, 32, nullptr);
    HGDIOBJ old = SelectObject(target, canvas);
    EXPECT_NE(0, image.DrawTo(target, 0, 0));
    EXPECT_EQ(nullptr, image.memoryDC);
    EXPECT_NE(nullptr, image.GetMemoryDC());
    SelectObject(target, old);
    DeleteObject(canvas);
    DeleteDC(target);
}

TEST(DibImage, CaptureCopiesTheScreenRegion)
{
    ScreenPattern pattern;
    HDC screen = GetDC(nullptr);
    DibImage region;
    region.CaptureFrom(screen, 20, 115, 220, 205);
    ReleaseDC(nullptr, screen);
    ASSERT_NE(nullptr, region.bits);
    EXPECT_EQ(200, region.width);
    EXPECT_EQ(90, region.height);
    EXPECT_EQ(200, region.stride);
    int mismatches = 0;
    for (int y = 0; y < 90; ++y)
        for (int x = 0; x < 200; ++x) {
            const BYTE* pixel = region.bits + ((89 - y) * region.stride + x) * 3;
            DWORD colour = pattern.Colour(x + 20, y + 115);
            if (pixel[0] != (colour & 0xFF) || pixel[1] != (colour >> 8 & 0xFF) ||
                pixel[2] != (colour >> 16 & 0xFF))
                ++mismatches;
        }
    EXPECT_EQ(0, mismatches);
}
