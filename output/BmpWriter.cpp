#include "output/BmpWriter.h"

#include <stdlib.h>
#include <string.h>

#include "app/Settings.h"
#include "output/FileCommit.h"

namespace {

const DWORD HeadersSize = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);  // 54
const size_t GatherBlockBytes = 64 * 1024;
static_assert(HeadersSize == 54, "BMP headers must be packed");

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// When file rows are shorter than stored rows they are gathered into blocks
// so that the file still goes out in a few large writes. A block of 64 KB
// comes from the heap's free list; a larger one would be fresh pages from
// the system on every picture, which costs more than the writes it saves.
bool WriteRowsGathered(HANDLE file, const DibImage& image, DWORD fileRowBytes)
{
    size_t rowsPerBlock = GatherBlockBytes / fileRowBytes;
    if (rowsPerBlock == 0)
        rowsPerBlock = 1;
    if (rowsPerBlock > static_cast<size_t>(image.height))
        rowsPerBlock = image.height;
    BYTE* block = static_cast<BYTE*>(malloc(rowsPerBlock * fileRowBytes));
    bool ok = true;
    for (int row = 0; ok && row < image.height;) {
        size_t rows = image.height - row < static_cast<int>(rowsPerBlock) ? image.height - row
                                                                          : rowsPerBlock;
        if (block) {
            for (size_t i = 0; i < rows; ++i)
                memcpy(block + i * fileRowBytes,
                       image.bits + static_cast<size_t>(row + i) * image.RowPitch(), fileRowBytes);
            ok = WriteAll(file, block, static_cast<DWORD>(rows * fileRowBytes));
        } else {
            rows = 1;
            ok = WriteAll(file, image.bits + static_cast<size_t>(row) * image.RowPitch(),
                          fileRowBytes);
        }
        row += static_cast<int>(rows);
    }
    free(block);
    return ok;
}

bool WriteBmpContents(HANDLE file, const DibImage& image)
{
    const DWORD fileRowBytes = BmpFileRowBytes(image.width);
    const DWORD imageSize = fileRowBytes * image.height;

    BITMAPINFOHEADER info = {};
    info.biSize = sizeof info;
    info.biWidth = image.width;
    info.biHeight = image.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageSize;

    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = HeadersSize + imageSize;
    header.bfOffBits = HeadersSize;

    if (!WriteAll(file, &header, sizeof header) || !WriteAll(file, &info, sizeof info))
        return false;
    if (static_cast<int>(fileRowBytes) == image.RowPitch())
        return WriteAll(file, image.bits, imageSize);
    return WriteRowsGathered(file, image, fileRowBytes);
}

}  // namespace

bool WriteBmpFileTo(const WCHAR* fileName, const DibImage& image)
{
    if (!image.bits || image.width < 1 || image.height < 1)
        return false;
    WCHAR scratch[MAX_PATH];
    HANDLE file = CreateScratchFile(fileName, scratch, MAX_PATH);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    // On the disk before it takes its name: a power cut must not find an
    // empty or partial file under the picture's name.
    bool complete = WriteBmpContents(file, image) && FlushFileBuffers(file);
    complete = CloseHandle(file) && complete;
    if (!complete) {
        DiscardScratchFile(scratch);
        return false;
    }
    return CommitScratchFile(scratch, fileName);
}

bool WriteBmpFile(const DibImage& image)
{
    return WriteBmpFileTo(OutputPath, image);
}
