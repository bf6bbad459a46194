// The capture run with reduction and the JPEG writer, end to end: settings
// in the registry, the run in this process over a known screen, the file
// read back.
#include "app/CaptureRun.h"

#include <limits.h>

#include "app/Settings.h"
#include "output/PictureFiles.h"
#include "output/Scaler.h"
#include "support/ScreenPattern.h"
#include "support/TestSupport.h"
#include "tests/reference/PlainScaler.h"

TEST(PictureSize, OrientationFollowsTheScreen)
{
    PictureSize size = PlanPictureSize(240, 320, 320, 240);
    EXPECT_EQ(240, size.width);
    EXPECT_EQ(320, size.height);
    EXPECT_FALSE(size.scaled);

    size = PlanPictureSize(320, 240, 120, 160);  // landscape screen
    EXPECT_EQ(160, size.width);
    EXPECT_EQ(120, size.height);
    EXPECT_TRUE(size.scaled);

    size = PlanPictureSize(240, 240, 320, 240);  // a square is not landscape
    EXPECT_EQ(240, size.width);
    EXPECT_EQ(240, size.height);
    EXPECT_FALSE(size.scaled);

    size = PlanPictureSize(240, 320, 100, 100);
    EXPECT_EQ(100, size.width);
    EXPECT_EQ(100, size.height);
    EXPECT_TRUE(size.scaled);
}

TEST(PictureSize, ReducesWithoutEverEnlarging)
{
    PictureSize size = PlanPictureSize(240, 320, 120, 160);
    EXPECT_TRUE(size.scaled);
    EXPECT_EQ(120, size.width);
    EXPECT_EQ(160, size.height);

    size = PlanPictureSize(240, 320, 480, 640);
    EXPECT_FALSE(size.scaled);
    EXPECT_EQ(240, size.width);
    EXPECT_EQ(320, size.height);

    // Larger along one axis, smaller along the other: only the smaller
    // axis is reduced.
    size = PlanPictureSize(240, 320, 200, 400);
    EXPECT_TRUE(size.scaled);
    EXPECT_EQ(200, size.width);
    EXPECT_EQ(320, size.height);

    size = PlanPictureSize(240, 320, 300, 310);
    EXPECT_TRUE(size.scaled);
    EXPECT_EQ(240, size.width);
    EXPECT_EQ(310, size.height);

    size = PlanPictureSize(240, 320, 240, 320);
    EXPECT_FALSE(size.scaled);
}

TEST(PictureSize, SizesTheScalerCannotTakeStayUnscaled)
{
    const int bad[][2] = {{0, 160},     {120, 0},      {-5, 160},     {120, -1},
                          {-100, -200}, {INT_MIN, 10}, {10, INT_MIN}, {INT_MAX, INT_MAX}};
    for (const auto& target : bad) {
        PictureSize size = PlanPictureSize(240, 320, target[0], target[1]);
        EXPECT_FALSE(size.scaled) << target[0] << " x " << target[1];
        EXPECT_EQ(240, size.width);
        EXPECT_EQ(320, size.height);
    }
    // A screen wider than the scaler's 16-bit row pitch holds.
    PictureSize wide = PlanPictureSize(21845, 100, 50, 30000);
    EXPECT_FALSE(wide.scaled);
    EXPECT_TRUE(PlanPictureSize(21844, 100, 30000, 50).scaled);
    EXPECT_FALSE(PlanPictureSize(100, 65536, 50, 50).scaled);
    EXPECT_TRUE(PlanPictureSize(100, 65535, 50, 50).scaled);
}

namespace {

class ScaledCapture : public testing::Test {
protected:
    void SetUp() override
    {
        ClearSettingsKey();
        WCHAR field[MAX_PATH] = {};
        lstrcpyW(field, folder.Path());
        WriteRawSetting(L"Folder", REG_SZ, field, sizeof field);
    }
    void TearDown() override { ClearSettingsKey(); }

    void Run(int width, int height, int fileType, int quality = 100,
             ScreenPattern::ColourAt colour = ScreenPattern::Default)
    {
        WriteDwordSetting(L"Width", width);
        WriteDwordSetting(L"Height", height);
        WriteDwordSetting(L"FileType", fileType);
        WriteDwordSetting(L"Quality", quality);
        ScreenPattern pattern(colour);
        screenWidth = pattern.Width();
        screenHeight = pattern.Height();
        EXPECT_EQ(0, CaptureRun());
    }

    // The screen as the pattern painted it, reduced as the plain walk does.
    void Expected(DibImage& picture, int width, int height)
    {
        DibImage screen;
        ASSERT_TRUE(screen.Create(screenWidth, screenHeight));
        FillPicture(screen, ScreenPattern::Default);
        ASSERT_TRUE(picture.Create(width, height));
        PixelView from = {static_cast<uint16_t>(screenWidth), static_cast<uint16_t>(screenHeight),
                          static_cast<uint16_t>(screen.RowPitch()), screen.bits};
        PixelView to = {static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                        static_cast<uint16_t>(picture.RowPitch()), picture.bits};
        ASSERT_TRUE(PlainScalePixels(from, to));
    }

    // Checks screen00.bmp against the expected picture, pixel for pixel.
    void ExpectBmp(int width, int height)
    {
        std::vector<BYTE> file = ReadWholeFile(W(folder.Join("screen00.bmp")));
        ASSERT_GE(file.size(), 54u);
        ASSERT_EQ(static_cast<unsigned>(width), ReadU32(file, 18));
        ASSERT_EQ(static_cast<unsigned>(height), ReadU32(file, 22));
        DibImage expected;
        Expected(expected, width, height);
        const size_t fileRow = (3 * width + 3) / 4 * 4;
        ASSERT_EQ(54 + fileRow * height, file.size());
        for (int row = 0; row < height; ++row)
            ASSERT_EQ(0, memcmp(&file[54 + row * fileRow], expected.bits + row * expected.RowPitch(),
                                3 * width))
                << "stored row " << row;
    }

    ScratchFolder folder;
    int screenWidth = 0;
    int screenHeight = 0;
};

}  // namespace

TEST_F(ScaledCapture, HalfSizeIsTheMeanOfEachBlock)
{
    Run(120, 160, 0);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    ExpectBmp(120, 160);
    // Spot check against the pattern itself: the exact mean of a 2 x 2 block.
    std::vector<BYTE> file = ReadWholeFile(W(folder.Join("screen00.bmp")));
    int x = 37, y = 51;  // from the top
    const BYTE* pixel = &file[54 + ((159 - y) * 360) + 3 * x];
    for (int k = 0; k < 3; ++k) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                sum += (ScreenPattern::Default(2 * x + dx, 2 * y + dy) >> (8 * k)) & 0xFF;
        EXPECT_EQ((sum + 2) / 4, pixel[k]) << k;
    }
}

TEST_F(ScaledCapture, CoveredFractionsAtAnUnevenSize)
{
    Run(180, 250, 0);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    ExpectBmp(180, 250);
}

TEST_F(ScaledCapture, TurnedTargetSavesUnscaled)
{
    Run(320, 240, 0);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    ExpectBmp(240, 320);
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
    EXPECT_EQ(320u, ReadDwordSetting(L"Width"));  // the turned size is never stored
}

TEST_F(ScaledCapture, OneAxisLargerReducesTheOther)
{
    Run(200, 400, 0);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    ExpectBmp(200, 320);
}

TEST_F(ScaledCapture, UnusableSizeSavesUnscaled)
{
    Run(0, 160, 0);
    ExpectBmp(screenWidth, screenHeight);
    ClearSettingsKey();
    SetUp();
    Run(-120, 70000, 0);
    ExpectBmp(screenWidth, screenHeight);
}

TEST_F(ScaledCapture, JpegOfTheReducedPicture)
{
    Run(120, 160, 1, 90);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    EXPECT_FALSE(FileExists(W(folder.Join("screen00.bmp"))));
    std::vector<BYTE> file = ReadWholeFile(W(folder.Join("screen00.jpg")));
    DibImage expected;
    Expected(expected, 120, 160);
    EXPECT_EQ(CjpegBytes(folder, 120, 160, TopDownRgb(expected), 90), file);
    EXPECT_EQ(1u, ReadDwordSetting(L"Counter"));
}

TEST_F(ScaledCapture, JpegAtScreenSize)
{
    Run(0x7FFFFFFF, 0x7FFFFFFF, 2, 120);  // FileType 2 is JPEG too
    std::vector<BYTE> file = ReadWholeFile(W(folder.Join("screen00.jpg")));
    DibImage expected;
    Expected(expected, screenWidth, screenHeight);
    EXPECT_EQ(CjpegBytes(folder, screenWidth, screenHeight, TopDownRgb(expected), 100), file);
}

namespace {

DWORD RedOverBlue(int, int y)
{
    // Asked once per pixel: the screen's size is asked once.
    static const int middle = GetSystemMetrics(SM_CYSCREEN) / 2;
    return y < middle ? 0xFF0000 : 0x0000FF;
}

}  // namespace

TEST_F(ScaledCapture, JpegDecodesUpright)
{
    Run(120, 160, 1, 90, RedOverBlue);
    if (screenWidth != 240 || screenHeight != 320)
        GTEST_SKIP() << "needs a 240 x 320 screen";
    int width = 0, height = 0;
    std::vector<BYTE> rgb;
    ASSERT_TRUE(DjpegDecode(folder, folder.Join("screen00.jpg"), width, height, rgb));
    ASSERT_EQ(120, width);
    ASSERT_EQ(160, height);
    const BYTE* top = &rgb[(10 * 120 + 60) * 3];
    const BYTE* bottom = &rgb[(150 * 120 + 60) * 3];
    EXPECT_GT(top[0], 240);
    EXPECT_LT(top[2], 15);
    EXPECT_LT(bottom[0], 15);
    EXPECT_GT(bottom[2], 240);
}
