#include "output/JpegWriter.h"

#include <new>
#include <type_traits>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

#include "output/FileCommit.h"
#include "output/JpegCompressor.h"
#include "platform/CpuFeatures.h"

static_assert(std::is_same<WCHAR, wchar_t>::value,
              "the compressor's file names are WCHAR strings");

namespace {

void SwapRedAndBlue(const BYTE* from, BYTE* to, size_t pixels)
{
    for (size_t k = 0; k < 3 * pixels; k += 3) {
        to[k] = from[k + 2];
        to[k + 1] = from[k + 1];
        to[k + 2] = from[k];
    }
}

#if defined(__x86_64__) || defined(__i386__)
// Five pixels per 16-byte shuffle; each store's sixteenth byte is
// overwritten by the next one, and no load or store passes the row's end.
__attribute__((target("ssse3"))) void SwapRedAndBlueSsse3(const BYTE* from, BYTE* to,
                                                           size_t pixels)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    size_t k = 0;
    for (; k + 6 <= pixels; k += 5) {
        __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + 3 * k));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 3 * k), _mm_shuffle_epi8(block, order));
    }
    SwapRedAndBlue(from + 3 * k, to + 3 * k, pixels - k);
}
#endif

typedef void (*RowPacker)(const BYTE*, BYTE*, size_t);

RowPacker ChooseRowPacker()
{
#if defined(__x86_64__) || defined(__i386__)
    if (CpuHasSsse3())
        return SwapRedAndBlueSsse3;
#endif
    return SwapRedAndBlue;
}

}  // namespace

void PackRgbRows(const DibImage& image, BYTE* rgbRows)
{
    static const RowPacker pack = ChooseRowPacker();
    const size_t pitch = image.RowPitch();
    const size_t width = image.width;
    for (int j = 0; j < image.height; ++j)
        pack(image.bits + (image.height - 1 - j) * pitch, rgbRows + j * 3 * width, width);
}

int WriteJpegFile(const WCHAR* fileName, int quality, const DibImage& image)
{
    if (!image.bits || image.width < 1 || image.height < 1)
        return 0;
    // Without room for the rows nothing is written: the run goes on as after
    // any failed write.
    const size_t bytes = 3 * static_cast<size_t>(image.width) * image.height;
    BYTE* rgbRows = new (std::nothrow) BYTE[bytes];
    if (!rgbRows)
        return 0;
    PackRgbRows(image, rgbRows);
    WCHAR scratch[MAX_PATH];
    FILE* file = OpenScratchStream(fileName, scratch, MAX_PATH);
    if (!file) {
        delete[] rgbRows;
        return 0;
    }
    int written = CompressRgbToStream(file, image.width, image.height, quality, rgbRows);
    delete[] rgbRows;
    if (!written) {
        DiscardScratchFile(scratch);
        return 0;
    }
    return CommitScratchFile(scratch, fileName) ? 1 : 0;
}
