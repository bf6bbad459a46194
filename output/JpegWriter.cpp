#include "output/JpegWriter.h"

#include <new>
#include <type_traits>

#include "output/FileCommit.h"
#include "output/JpegCompressor.h"

static_assert(std::is_same<WCHAR, wchar_t>::value,
              "the compressor's file names are WCHAR strings");

void PackRgbRows(const DibImage& image, BYTE* rgbRows)
{
    const size_t pitch = image.RowPitch();
    const size_t width = image.width;
    for (int j = 0; j < image.height; ++j) {
        const BYTE* from = image.bits + (image.height - 1 - j) * pitch;
        BYTE* to = rgbRows + j * 3 * width;
        for (size_t k = 0; k < 3 * width; k += 3) {
            to[k] = from[k + 2];
            to[k + 1] = from[k + 1];
            to[k + 2] = from[k];
        }
    }
}

int WriteJpegFile(const WCHAR* fileName, int quality, const DibImage& image)
{
    if (!image.bits || image.width < 1 || image.height < 1)
        return 0;
    WCHAR scratch[MAX_PATH];
    if (!ScratchNameFor(fileName, scratch, MAX_PATH))
        return 0;
    // Without room for the rows nothing is written: the run goes on as after
    // any failed write.
    const size_t bytes = 3 * static_cast<size_t>(image.width) * image.height;
    BYTE* rgbRows = new (std::nothrow) BYTE[bytes];
    if (!rgbRows)
        return 0;
    PackRgbRows(image, rgbRows);
    int written = CompressRgbToJpeg(scratch, image.width, image.height, quality, rgbRows);
    delete[] rgbRows;
    if (!written) {
        DiscardScratchFile(scratch);
        return 0;
    }
    return CommitScratchFile(scratch, fileName) ? 1 : 0;
}
