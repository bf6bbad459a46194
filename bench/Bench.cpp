// Times the scaler and the two file writers, each against a baseline run in
// the same process: the plain one-pixel-at-a-time scaler (whose bytes the
// fast one must equal), libjpeg fed rows that are already packed, and one
// plain write of as many bytes as the BMP file holds.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "app/DibImage.h"
#include "output/BmpWriter.h"
#include "output/JpegWriter.h"
#include "output/Scaler.h"
#include "platform/HostFiles.h"
#include "tests/reference/JpegBaseline.h"
#include "tests/reference/PlainScaler.h"

namespace {

const int Samples = 41;
const double MinimumSampleSeconds = 0.004;

typedef std::function<void()> Work;

double Seconds(const Work& work, int repeats)
{
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeats; ++i)
        work();
    std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / repeats;
}

// Enough calls per sample that the clock's grain does not matter.
int RepeatsFor(const Work& work)
{
    double once = Seconds(work, 1);
    int repeats = 1;
    while (once * repeats < MinimumSampleSeconds && repeats < 4096)
        repeats *= 2;
    return repeats;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Pair {
    double ours;
    double baseline;
};

// Samples of the two alternate, so that a slow spell of the machine hits
// both alike.
Pair MedianTimes(const Work& ours, const Work& baseline)
{
    ours();
    baseline();
    int oursRepeats = RepeatsFor(ours);
    int baselineRepeats = RepeatsFor(baseline);
    std::vector<double> a, b;
    for (int i = 0; i < Samples; ++i) {
        a.push_back(Seconds(ours, oursRepeats));
        b.push_back(Seconds(baseline, baselineRepeats));
    }
    return Pair{Median(a), Median(b)};
}

DWORD ScreenLike(int x, int y)
{
    // Flat panels, a gradient title bar and small "text" blocks, roughly
    // what a handheld screen holds.
    if (y < 26)
        return RGB(0, 0, 128 + y * 4);
    if ((y / 18) % 3 == 1 && (x / 6) % 5 != 4 && ((x * 7 + y * 13) % 11) < 5)
        return 0x202020;
    if (x < 12)
        return 0xD4D0C8;
    return 0xFFFFFF - ((x ^ y) & 0x0F) * 0x010101;
}

void Fill(DibImage& image)
{
    for (int y = 0; y < image.height; ++y) {
        BYTE* row = image.bits + (image.height - 1 - y) * image.RowPitch();
        for (int x = 0; x < image.width; ++x) {
            DWORD c = ScreenLike(x, y);  // COLORREF: red in the low byte
            row[3 * x] = GetBValue(c);
            row[3 * x + 1] = GetGValue(c);
            row[3 * x + 2] = GetRValue(c);
        }
    }
}

PixelView ViewOf(DibImage& image)
{
    return PixelView{static_cast<uint16_t>(image.width), static_cast<uint16_t>(image.height),
                     static_cast<uint16_t>(image.RowPitch()), image.bits};
}

std::string ToUtf8(const WCHAR* text)
{
    char buffer[4 * MAX_PATH];
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return buffer;
}

bool missedTarget = false;

void Report(const char* name, const Pair& times, const char* baselineName, double units,
            const char* unit, bool speedRatio, double target)
{
    double ratio = speedRatio ? times.baseline / times.ours : times.ours / times.baseline;
    bool met = speedRatio ? ratio >= target : ratio <= target;
    missedTarget |= !met;
    printf("%-34s median %8.3f ms", name, times.ours * 1000);
    if (units > 0)
        printf(" %7.1f %s", units / times.ours / 1e6, unit);
    printf(" | %s %8.3f ms", baselineName, times.baseline * 1000);
    if (units > 0)
        printf(" %7.1f %s", units / times.baseline / 1e6, unit);
    if (speedRatio)
        printf(" | %.2fx as fast (target >= %.2f)%s\n", ratio, target, met ? "" : " MISSED");
    else
        printf(" | %.3fx the time (target <= %.2f)%s\n", ratio, target, met ? "" : " MISSED");
    fflush(stdout);
}

bool BenchScaler(int W, int H, int w, int h)
{
    DibImage source, fast, plain;
    if (!source.Create(W, H) || !fast.Create(w, h) || !plain.Create(w, h)) {
        printf("scaler %dx%d: no pictures\n", W, H);
        return false;
    }
    std::mt19937 random(W * 31 + w);
    for (int i = 0; i < source.RowPitch() * H; ++i)
        source.bits[i] = static_cast<BYTE>(random());
    memset(fast.bits, 0, fast.RowPitch() * h);
    memset(plain.bits, 0, plain.RowPitch() * h);

    PixelView from = ViewOf(source), toFast = ViewOf(fast), toPlain = ViewOf(plain);
    if (!ScalePixels(from, toFast) || !PlainScalePixels(from, toPlain) ||
        memcmp(fast.bits, plain.bits, fast.RowPitch() * h) != 0) {
        printf("scaler %dx%d -> %dx%d: the bytes differ from the plain walk\n", W, H, w, h);
        return false;
    }
    Pair times = MedianTimes([&] { ScalePixels(from, toFast); },
                             [&] { PlainScalePixels(from, toPlain); });
    char name[64];
    snprintf(name, sizeof name, "scaler %dx%d -> %dx%d", W, H, w, h);
    Report(name, times, "plain", static_cast<double>(W) * H, "MP/s", true, 3.0);
    return true;
}

bool BenchJpeg(const WCHAR* folder, int quality)
{
    DibImage image;
    if (!image.Create(480, 640))
        return false;
    Fill(image);
    std::vector<BYTE> packed(480 * 640 * 3);
    PackRgbRows(image, packed.data());

    WCHAR ours[MAX_PATH];
    wsprintfW(ours, L"%s\\screen00.jpg", folder);
    WCHAR theirs[MAX_PATH];
    wsprintfW(theirs, L"%s\\baseline.jpg", folder);
    char theirsUnix[4096];
    if (!UnixPathOf(theirs, theirsUnix, sizeof theirsUnix))
        return false;
    // The baseline file's name must exist before it can be mapped.
    if (!CompressPackedRgb(theirsUnix, 480, 640, quality, packed.data()) ||
        !UnixPathOf(theirs, theirsUnix, sizeof theirsUnix))
        return false;
    if (!WriteJpegFile(ours, quality, image))
        return false;

    Pair times = MedianTimes([&] { WriteJpegFile(ours, quality, image); },
                             [&] { CompressPackedRgb(theirsUnix, 480, 640, quality, packed.data()); });
    char name[64];
    snprintf(name, sizeof name, "jpeg writer 480x640 q%d", quality);
    Report(name, times, "libjpeg alone", 0, "", false, 1.10);
    return true;
}

void PlainWrite(const WCHAR* name, const BYTE* data, DWORD size)
{
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written;
    WriteFile(file, data, size, &written, nullptr);
    CloseHandle(file);
}

bool BenchBmp(const WCHAR* folder, int width, int height)
{
    DibImage image;
    if (!image.Create(width, height))
        return false;
    Fill(image);
    WCHAR ours[MAX_PATH];
    wsprintfW(ours, L"%s\\screen00.bmp", folder);
    WCHAR theirs[MAX_PATH];
    wsprintfW(theirs, L"%s\\baseline.bin", folder);
    DWORD size = 54 + BmpFileRowBytes(width) * height;
    std::vector<BYTE> block(size, 0x5A);
    if (!WriteBmpFileTo(ours, image))
        return false;
    Pair times = MedianTimes([&] { WriteBmpFileTo(ours, image); },
                             [&] { PlainWrite(theirs, block.data(), size); });
    char name[64];
    snprintf(name, sizeof name, "bmp writer %dx%d", width, height);
    Report(name, times, "one write", 0, "", false, 1.2);
    return true;
}

}  // namespace

int main()
{
    // Files go to memory (the host's /dev/shm) when it is there, so that
    // the disk's moods, shared with whatever else runs, stay out of the
    // ratios: they are to show what the writers add to the work.
    WCHAR temp[MAX_PATH], folder[MAX_PATH];
    const WCHAR* memoryFolder = L"Z:\\dev\\shm\\";
    DWORD attributes = GetFileAttributesW(memoryFolder);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        lstrcpyW(temp, memoryFolder);
    else
        GetTempPathW(MAX_PATH, temp);
    wsprintfW(folder, L"%stavro-bench-%u", temp, GetCurrentProcessId());
    if (!CreateDirectoryW(folder, nullptr)) {
        GetTempPathW(MAX_PATH, temp);
        wsprintfW(folder, L"%stavro-bench-%u", temp, GetCurrentProcessId());
        CreateDirectoryW(folder, nullptr);
    }
    printf("files in %s\n", ToUtf8(folder).c_str());

    bool ok = BenchScaler(480, 640, 240, 320) && BenchScaler(480, 640, 200, 300) &&
              BenchScaler(240, 320, 120, 160) && BenchScaler(1920, 1080, 640, 360);
    ok = ok && BenchJpeg(folder, 90) && BenchJpeg(folder, 100);
    ok = ok && BenchBmp(folder, 480, 640) && BenchBmp(folder, 241, 320);

    const WCHAR* files[] = {L"screen00.jpg", L"baseline.jpg", L"screen00.bmp", L"baseline.bin"};
    for (const WCHAR* file : files) {
        WCHAR path[MAX_PATH];
        wsprintfW(path, L"%s\\%s", folder, file);
        DeleteFileW(path);
    }
    RemoveDirectoryW(folder);
    if (!ok) {
        printf("benchmark failed\n");
        return 1;
    }
    if (missedTarget)
        printf("some targets were missed\n");
    return 0;
}
