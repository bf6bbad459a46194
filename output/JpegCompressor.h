// The libjpeg side of the JPEG writer. Free of <windows.h>: libjpeg's
// `boolean` and the Windows one cannot meet in one translation unit.
#pragma once

#include <stdio.h>

// Compresses width x height pixels of packed top-down RGB rows (3 * width
// bytes each) into a baseline JFIF file at the given quality, which goes to
// libjpeg unchanged (the library limits it to 1..100). The file is a stream
// opened for binary writing, which this closes, whatever the outcome. 1 when
// the whole file was written, sent to the disk and closed, 0 otherwise; a
// partly written file is left for the caller to remove.
int CompressRgbToStream(FILE* file, int width, int height, int quality,
                        const unsigned char* rgbRows);
