// Stores a picture as an uncompressed 24-bit BMP file named by OutputPath.
#pragma once

#include "app/DibImage.h"

// Bytes of one file row: 3 * width rounded up to a multiple of 4.
inline int BmpFileRowBytes(int width)
{
    return ((width * 24 + 31) >> 3) & ~3;
}

// True when the complete file now stands under OutputPath.
bool WriteBmpFile(const DibImage& image);

// The same, to any file name.
bool WriteBmpFileTo(const WCHAR* fileName, const DibImage& image);
