// Stores a picture as a baseline JPEG file.
#pragma once

#include "app/DibImage.h"

// 1 when the file was written completely, 0 otherwise.
int WriteJpegFile(const WCHAR* fileName, int quality, const DibImage& image);
