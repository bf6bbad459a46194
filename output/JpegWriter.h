// Stores a picture as a baseline JPEG file.
#pragma once

#include "app/DibImage.h"

// 1 when the complete file now stands under fileName, 0 otherwise. The file
// is written under a scratch name and renamed only once complete, so a
// failed write leaves no truncated picture behind, nor harms an older file
// of the same name. The quality goes to the library unchanged.
int WriteJpegFile(const WCHAR* fileName, int quality, const DibImage& image);

// Packs the picture's pixels as top-down red-green-blue rows without
// padding (3 * width bytes each), as the compressor takes them.
void PackRgbRows(const DibImage& image, BYTE* rgbRows);
