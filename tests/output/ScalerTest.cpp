#include "output/Scaler.h"

#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <string.h>

#include <random>
#include <vector>

#include "output/ScalerKernel.h"
#include "platform/CpuFeatures.h"
#include "support/TestSupport.h"
#include "tests/reference/PlainScaler.h"

namespace {

// A picture in plain memory, rows `pitch` bytes apart.
struct Buffer {
    Buffer(int w, int h, int rowPitch = 0)
        : width(w), height(h), pitch(rowPitch ? rowPitch : (w + 3) / 4 * 12),
          bytes(static_cast<size_t>(pitch) * h, 0xA5)
    {
    }
    PixelView View()
    {
        return PixelView{static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                         static_cast<uint16_t>(pitch), bytes.data()};
    }
    BYTE& At(int x, int row, int k) { return bytes[static_cast<size_t>(row) * pitch + 3 * x + k]; }
    int width, height, pitch;
    std::vector<BYTE> bytes;
};

// One channel, every pixel grey (all three channels alike).
Buffer Grey(int w, int h, std::initializer_list<int> values)
{
    Buffer picture(w, h);
    auto value = values.begin();
    for (int row = 0; row < h; ++row)
        for (int x = 0; x < w; ++x, ++value)
            for (int k = 0; k < 3; ++k)
                picture.At(x, row, k) = static_cast<BYTE>(*value);
    return picture;
}

Buffer Random(int w, int h, std::mt19937& random)
{
    Buffer picture(w, h);
    for (BYTE& b : picture.bytes)
        b = static_cast<BYTE>(random());
    return picture;
}

enum Walk { Fast, Portable, Plain };

Buffer Scaled(Buffer& source, int w, int h, Walk walk = Fast)
{
    Buffer destination(w, h);
    bool done = walk == Plain      ? PlainScalePixels(source.View(), destination.View())
                : walk == Portable ? ScalePixelsPortable(source.View(), destination.View())
                                   : ScalePixels(source.View(), destination.View());
    EXPECT_TRUE(done);
    return destination;
}

// The covered-fraction average worked out independently, in double
// precision: source column x covers units [x * w, (x + 1) * w), destination
// column c covers [c * W, (c + 1) * W); the same for rows.
int AreaAverage(Buffer& source, int w, int h, int c, int r, int k)
{
    const long W = source.width, H = source.height;
    double sum = 0;
    for (long y = r * H / h; y < ((r + 1) * H + h - 1) / h; ++y) {
        long oy = (std::min)((y + 1) * h, (r + 1) * H) - (std::max)(y * h, r * H);
        if (oy <= 0)
            continue;
        for (long x = c * W / w; x < ((c + 1) * W + w - 1) / w; ++x) {
            long ox = (std::min)((x + 1) * w, (c + 1) * W) - (std::max)(x * w, c * W);
            if (ox > 0)
                sum += static_cast<double>(ox) * oy * source.At(x, y, k);
        }
    }
    return static_cast<int>(floor(sum / (static_cast<double>(W) * H) + 0.5));
}

// Rows packed without padding (pitch 3 * width, odd for odd widths) in
// memory that ends exactly where an inaccessible page begins: a read or a
// write past the picture's last byte faults instead of passing unseen.
class GuardedPicture {
public:
    GuardedPicture(int w, int h) : width(w), height(h), pitch(3 * w)
    {
        SYSTEM_INFO system;
        GetSystemInfo(&system);
        const size_t page = system.dwPageSize;
        const size_t bytes = static_cast<size_t>(pitch) * h;
        size = (bytes + page - 1) / page * page + page;
        base = static_cast<BYTE*>(VirtualAlloc(nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                               PAGE_READWRITE));
        DWORD previous;
        guarded = base && VirtualProtect(base + size - page, page, PAGE_NOACCESS, &previous);
        bits = guarded ? base + size - page - bytes : nullptr;
    }
    ~GuardedPicture()
    {
        if (base)
            VirtualFree(base, 0, MEM_RELEASE);
    }
    GuardedPicture(const GuardedPicture&) = delete;
    GuardedPicture& operator=(const GuardedPicture&) = delete;

    PixelView View() const
    {
        return PixelView{static_cast<uint16_t>(width), static_cast<uint16_t>(height),
                         static_cast<uint16_t>(pitch), bits};
    }
    std::vector<BYTE> Bytes() const
    {
        return std::vector<BYTE>(bits, bits + static_cast<size_t>(pitch) * height);
    }

    int width, height, pitch;
    bool guarded = false;
    BYTE* bits = nullptr;

private:
    BYTE* base = nullptr;
    size_t size = 0;
};

// The processor's features as the operating system reports them, apart
// from the compiler's runtime that the program asks.
bool SystemReportsSsse3(bool& known)
{
    known = false;
    FILE* file = fopen("/proc/cpuinfo", "r");
    if (!file)
        return false;
    static char line[16384];
    bool found = false;
    while (!known && fgets(line, sizeof line, file)) {
        if (strncmp(line, "flags", 5) != 0)
            continue;
        known = true;
        found = strstr(line, " ssse3 ") || strstr(line, " ssse3\n");
    }
    fclose(file);
    return found;
}

}  // namespace

TEST(Scaler, HandWorkedBlocks)
{
    // 4 x 2 to 2 x 1: blocks {0, 1 / 1, 1} and {0, 0 / 1, 1}.
    Buffer source = Grey(4, 2, {0, 1, 0, 0, 1, 1, 1, 1});
    Buffer result = Scaled(source, 2, 1);
    EXPECT_EQ(1, result.At(0, 0, 0));  // 0.75 rounds to 1
    EXPECT_EQ(1, result.At(1, 0, 0));  // 0.5 rounds up

    Buffer tens = Grey(4, 2, {10, 10, 0, 0, 10, 11, 0, 0});
    EXPECT_EQ(10, Scaled(tens, 2, 1).At(0, 0, 2));

    // The middle pixel counts half in each destination pixel.
    Buffer row = Grey(3, 1, {0, 100, 200});
    Buffer halves = Scaled(row, 2, 1);
    EXPECT_EQ(33, halves.At(0, 0, 1));
    EXPECT_EQ(167, halves.At(1, 0, 1));

    // Three rows to two: the same along the other axis.
    Buffer column = Grey(1, 3, {0, 100, 200});
    Buffer columnHalves = Scaled(column, 1, 2);
    EXPECT_EQ(33, columnHalves.At(0, 0, 0));
    EXPECT_EQ(167, columnHalves.At(0, 1, 0));
}

TEST(Scaler, ChannelsStayApart)
{
    Buffer source(2, 2);
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x) {
            source.At(x, row, 0) = 8;
            source.At(x, row, 1) = 100;
            source.At(x, row, 2) = static_cast<BYTE>(200 + row * 2 + x);
        }
    Buffer result = Scaled(source, 1, 1);
    EXPECT_EQ(8, result.At(0, 0, 0));
    EXPECT_EQ(100, result.At(0, 0, 1));
    EXPECT_EQ(202, result.At(0, 0, 2));  // 201.5 rounds up
}

TEST(Scaler, SameSizeCopiesBytes)
{
    std::mt19937 random(7);
    for (auto size : {std::make_pair(1, 1), std::make_pair(5, 3), std::make_pair(181, 7)}) {
        Buffer source = Random(size.first, size.second, random);
        Buffer result = Scaled(source, size.first, size.second);
        for (int row = 0; row < size.second; ++row)
            for (int i = 0; i < 3 * size.first; ++i)
                ASSERT_EQ(source.bytes[row * source.pitch + i], result.bytes[row * result.pitch + i]);
    }
}

TEST(Scaler, OnePixelHoldsTheRoundedMean)
{
    std::mt19937 random(11);
    Buffer source = Random(37, 23, random);
    Buffer result = Scaled(source, 1, 1);
    for (int k = 0; k < 3; ++k) {
        long sum = 0;
        for (int row = 0; row < 23; ++row)
            for (int x = 0; x < 37; ++x)
                sum += source.At(x, row, k);
        EXPECT_NEAR(floor(sum / (37.0 * 23) + 0.5), result.At(0, 0, k), 1) << k;
        EXPECT_EQ(AreaAverage(source, 1, 1, 0, 0, k), result.At(0, 0, k));
    }
}

TEST(Scaler, HalvingIsTheExactMeanOfEachBlock)
{
    std::mt19937 random(3);
    Buffer source = Random(240, 320, random);
    Buffer result = Scaled(source, 120, 160);
    for (int row = 0; row < 160; ++row)
        for (int x = 0; x < 120; ++x)
            for (int k = 0; k < 3; ++k) {
                int sum = source.At(2 * x, 2 * row, k) + source.At(2 * x + 1, 2 * row, k) +
                          source.At(2 * x, 2 * row + 1, k) + source.At(2 * x + 1, 2 * row + 1, k);
                ASSERT_EQ((sum + 2) / 4, result.At(x, row, k)) << x << "," << row;
            }
}

// Many sizes, odd and prime among them: within 1 of the independent
// average, and byte for byte what the plain one-pixel-at-a-time walk gives.
TEST(Scaler, RandomPicturesMatchTheAreaAverage)
{
    const int sizes[][4] = {{240, 320, 120, 160}, {240, 320, 180, 250}, {240, 320, 181, 241},
                            {241, 17, 97, 5},     {7, 5, 3, 2},         {480, 640, 200, 300},
                            {101, 103, 100, 102}, {64, 1, 63, 1},       {1, 64, 1, 13},
                            {333, 29, 181, 29},   {19, 23, 19, 7},      {640, 16, 181, 3}};
    std::mt19937 random(42);
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]);
        Buffer source = Random(s[0], s[1], random);
        Buffer fast = Scaled(source, s[2], s[3]);
        Buffer plain = Scaled(source, s[2], s[3], Plain);
        ASSERT_EQ(plain.bytes, fast.bytes);
        ASSERT_EQ(plain.bytes, Scaled(source, s[2], s[3], Portable).bytes);
        int worst = 0;
        for (int row = 0; row < s[3]; ++row)
            for (int x = 0; x < s[2]; ++x)
                for (int k = 0; k < 3; ++k)
                    worst = (std::max)(worst, abs(AreaAverage(source, s[2], s[3], x, row, k) -
                                                fast.At(x, row, k)));
        EXPECT_LE(worst, 1);
    }
}

// Flat areas and hard edges, where sums hit the rounding boundaries.
TEST(Scaler, FastWalkMatchesPlainWalkOnEdges)
{
    for (int W : {240, 480, 1920})
        for (int w : {W / 2, W / 3, W * 5 / 12, W - 1, 181}) {
            int H = W * 3 / 4, h = H * w / W + 1;
            Buffer source(W, H);
            for (int row = 0; row < H; ++row)
                for (int x = 0; x < W; ++x)
                    for (int k = 0; k < 3; ++k)
                        source.At(x, row, k) = ((x / 7 + row / 5 + k) % 3) ? 255 : 0;
            SCOPED_TRACE(testing::Message() << W << "x" << H << " -> " << w << "x" << h);
            Buffer plain = Scaled(source, w, h, Plain);
            ASSERT_EQ(plain.bytes, Scaled(source, w, h).bytes);
            ASSERT_EQ(plain.bytes, Scaled(source, w, h, Portable).bytes);
        }
}

// The benchmark's cases: its baseline must give the very bytes it is timed
// against, and many inside rows per destination row take several sweeps.
TEST(Scaler, BenchmarkCasesMatchThePlainWalk)
{
    const int sizes[][4] = {{480, 640, 240, 320}, {480, 640, 200, 300}, {240, 320, 120, 160},
                            {1920, 1080, 640, 360}, {64, 700, 16, 3},    {500, 90, 1, 1}};
    std::mt19937 random(9);
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]);
        Buffer source = Random(s[0], s[1], random);
        Buffer plain = Scaled(source, s[2], s[3], Plain);
        ASSERT_EQ(plain.bytes, Scaled(source, s[2], s[3]).bytes);
        ASSERT_EQ(plain.bytes, Scaled(source, s[2], s[3], Portable).bytes);
    }
}

TEST(Scaler, WritesOnlyThePictureBytesOfEachRow)
{
    // Width 181: the picture's rows are 552 bytes apart, not 544.
    DibImage source, destination;
    ASSERT_TRUE(source.Create(240, 320));
    ASSERT_TRUE(destination.Create(181, 250));
    ASSERT_EQ(552, destination.RowPitch());
    std::mt19937 random(5);
    for (int i = 0; i < source.RowPitch() * source.height; ++i)
        source.bits[i] = static_cast<BYTE>(random());
    memset(destination.bits, 0x5A, destination.RowPitch() * destination.height);
    ASSERT_TRUE(ScaleImage(source, destination));

    Buffer plainSource(240, 320);
    memcpy(plainSource.bytes.data(), source.bits, plainSource.bytes.size());
    Buffer expected(181, 250, 552);
    ASSERT_TRUE(PlainScalePixels(plainSource.View(), expected.View()));
    for (int row = 0; row < 250; ++row) {
        const BYTE* line = destination.bits + row * 552;
        ASSERT_EQ(0, memcmp(line, &expected.At(0, row, 0), 3 * 181)) << row;
        for (int i = 3 * 181; i < 552; ++i)
            ASSERT_EQ(0x5A, line[i]) << row;
    }
}

TEST(Scaler, RefusesSizesItCannotTake)
{
    Buffer source(8, 8);
    Buffer larger(9, 4);
    std::vector<BYTE> before = larger.bytes;
    EXPECT_FALSE(ScalePixels(source.View(), larger.View()));  // would enlarge
    EXPECT_EQ(before, larger.bytes);
    Buffer taller(4, 9);
    EXPECT_FALSE(ScalePixels(source.View(), taller.View()));
    Buffer empty(0, 4);
    EXPECT_FALSE(ScalePixels(source.View(), empty.View()));
    EXPECT_FALSE(CanScale(21848, 10, 65544, 10, 10, 36));  // pitch beyond 16 bits
    EXPECT_TRUE(CanScale(21844, 10, 65532, 10, 10, 36));
    EXPECT_FALSE(CanScale(100, 70000, 300, 10, 10, 36));
    // Pictures not yet made: their pitches are those DibImage will give them.
    EXPECT_TRUE(CanScaleImages(21844, 10, 10, 10));
    EXPECT_FALSE(CanScaleImages(21845, 10, 10, 10));  // stride 21848, pitch 65544
    EXPECT_TRUE(CanScaleImages(21844, 65535, 21844, 50));
    EXPECT_FALSE(CanScaleImages(100, 65536, 50, 50));
    EXPECT_FALSE(CanScaleImages(100, 100, 0, 50));
    EXPECT_FALSE(CanScaleImages(100, 100, 101, 50));  // would enlarge
    EXPECT_FALSE(CanScaleImages(INT_MAX, INT_MAX, INT_MIN, INT_MIN));

    DibImage unmade, made;
    ASSERT_TRUE(made.Create(4, 4));
    EXPECT_FALSE(ScaleImage(unmade, made));
    EXPECT_FALSE(ScaleImage(made, unmade));
}

// A source taller than 32767 rows: 16-bit phase sums would wrap there.
TEST(Scaler, TallSourcesKeepTheirCells)
{
    const int H = 40000, h = 30000;
    Buffer source(1, H);
    for (int row = 0; row < H; ++row)
        for (int k = 0; k < 3; ++k)
            source.At(0, row, k) = static_cast<BYTE>(row % 4 < 2 ? 0 : 200);
    Buffer result = Scaled(source, 1, h);
    EXPECT_EQ(result.bytes, Scaled(source, 1, h, Portable).bytes);
    for (int row = 0; row < h; row += 997)
        for (int k = 0; k < 3; ++k)
            ASSERT_NEAR(AreaAverage(source, 1, h, 0, row, k), result.At(0, row, k), 1) << row;
}

// Both walks on pictures with no byte to spare after the last pixel, at odd
// pitches: the vector path reads four bytes per pixel and stores sixteen
// at a time, and none of that may reach past either picture.
TEST(Scaler, NothingPastEitherPictureIsTouched)
{
    const int sizes[][4] = {{7, 5, 3, 2},   {241, 17, 97, 5}, {480, 64, 240, 32}, {64, 8, 16, 2},
                            {5, 3, 5, 3},   {1, 9, 1, 4},     {333, 29, 181, 29}, {21, 2, 7, 1},
                            {16, 16, 5, 5}, {3, 1, 1, 1}};
    std::mt19937 random(13);
    for (const auto& s : sizes) {
        SCOPED_TRACE(testing::Message() << s[0] << "x" << s[1] << " -> " << s[2] << "x" << s[3]);
        GuardedPicture source(s[0], s[1]);
        ASSERT_TRUE(source.guarded);
        for (BYTE* b = source.bits; b < source.bits + source.pitch * source.height; ++b)
            *b = static_cast<BYTE>(random());
        Buffer plainSource(s[0], s[1], source.pitch);
        plainSource.bytes = source.Bytes();
        Buffer plain(s[2], s[3], 3 * s[2]);
        ASSERT_TRUE(PlainScalePixels(plainSource.View(), plain.View()));

        GuardedPicture fast(s[2], s[3]), portable(s[2], s[3]);
        ASSERT_TRUE(fast.guarded && portable.guarded);
        ASSERT_TRUE(ScalePixels(source.View(), fast.View()));
        ASSERT_TRUE(ScalePixelsPortable(source.View(), portable.View()));
        EXPECT_EQ(plain.bytes, fast.Bytes());
        EXPECT_EQ(plain.bytes, portable.Bytes());
    }
}

// The vector path is taken wherever the processor can run it: a build that
// lost the kernels, or a check that never says yes, would still give the
// right bytes, only slowly, and no other test would notice.
TEST(Scaler, VectorPathWhereTheProcessorHasIt)
{
    bool known = false;
    const bool reported = SystemReportsSsse3(known);
    if (!known)
        GTEST_SKIP() << "the system does not list the processor's features";
    EXPECT_EQ(reported, CpuHasSsse3());
    EXPECT_EQ(CpuHasSsse3(), VectorReducer() != nullptr);
}
