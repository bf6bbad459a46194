// The program's picture: a 24-bit bottom-up DIB section whose rows hold
// `stride` pixels (width rounded up to 4), so every row is 3 * stride bytes.
#pragma once

#include <windows.h>

class DibImage {
public:
    DibImage() = default;
    virtual ~DibImage();
    DibImage(const DibImage&) = delete;
    DibImage& operator=(const DibImage&) = delete;

    // True when the pixel memory was obtained.
    bool Create(int width, int height);
    HDC GetMemoryDC();
    void ReleaseMemoryDC();
    void CaptureFrom(HDC source, int left, int top, int right, int bottom);
    BOOL DrawTo(HDC destination, int x, int y);
    void Dim(unsigned int level);

    int RowPitch() const { return 3 * stride; }

    // The pixels each row of a picture of that width holds.
    static int StrideFor(int width) { return (width + 3) / 4 * 4; }

    int width = 0;
    int height = 0;
    int stride = 0;
    BYTE* bits = nullptr;
    HBITMAP bitmap = nullptr;
    HDC memoryDC = nullptr;
    HGDIOBJ previousBitmap = nullptr;
};
