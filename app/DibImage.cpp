#include "app/DibImage.h"

namespace {

const LONG PixelsPerMetre = 3780;  // about 96 dots per inch

struct DibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD unusedColour;
};

}  // namespace

DibImage::~DibImage()
{
    if (bitmap) {
        ReleaseMemoryDC();
        DeleteObject(bitmap);
    }
}

bool DibImage::Create(int newWidth, int newHeight)
{
    if (bitmap) {
        ReleaseMemoryDC();
        DeleteObject(bitmap);
        bitmap = nullptr;
        bits = nullptr;
    }
    stride = StrideFor(newWidth);
    width = newWidth;
    height = newHeight;

    DibHeader info = {};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = stride;
    info.header.biHeight = height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 24;
    info.header.biCompression = BI_RGB;
    info.header.biSizeImage = static_cast<DWORD>(stride) * height * 3;
    info.header.biXPelsPerMeter = PixelsPerMetre;
    info.header.biYPelsPerMeter = PixelsPerMetre;

    void* pixels = nullptr;
    HDC dc = GetDC(nullptr);
    bitmap = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &pixels,
                              nullptr, 0);
    ReleaseDC(nullptr, dc);
    bits = bitmap ? static_cast<BYTE*>(pixels) : nullptr;
    return bits != nullptr;
}

HDC DibImage::GetMemoryDC()
{
    if (!memoryDC) {
        memoryDC = CreateCompatibleDC(nullptr);
        if (!memoryDC)
            return nullptr;
        previousBitmap = SelectObject(memoryDC, bitmap);
    }
    return memoryDC;
}

void DibImage::ReleaseMemoryDC()
{
    if (memoryDC) {
        SelectObject(memoryDC, previousBitmap);
        DeleteDC(memoryDC);
        memoryDC = nullptr;
    }
}

void DibImage::CaptureFrom(HDC source, int left, int top, int right, int bottom)
{
    int captureWidth = right - left;
    int captureHeight = bottom - top;
    // An empty rectangle leaves the image empty rather than making a
    // bitmap the platform cannot have.
    if (captureWidth <= 0 || captureHeight <= 0)
        return;
    if (!Create(captureWidth, captureHeight))
        return;
    HDC dc = GetMemoryDC();
    if (dc) {
        BitBlt(dc, 0, 0, captureWidth, captureHeight, source, left, top, SRCCOPY);
        GdiFlush();  // the pixels are read directly from now on
    }
}

BOOL DibImage::DrawTo(HDC destination, int x, int y)
{
    ReleaseMemoryDC();
    HDC dc = CreateCompatibleDC(destination);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, bitmap);
    BOOL result = BitBlt(destination, x, y, width, height, dc, 0, 0, SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    return result;
}

void DibImage::Dim(unsigned int level)
{
    if (!bits || width < 1 || height < 1)
        return;
    const BYTE offset = static_cast<BYTE>(level >> 1);
    const int pitch = RowPitch();
    for (int y = 0; y < height; ++y) {
        BYTE* row = bits + static_cast<size_t>(y) * pitch;
        for (int i = 0; i < width * 3; ++i)
            row[i] = static_cast<BYTE>((row[i] >> 1) + offset);
    }
}
