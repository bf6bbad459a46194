// libjpeg alone: the same compression as the JPEG writer, from pixels that
// are already packed top-down as RGB, into a file named by a Unix path.
// Free of <windows.h>, like every user of jpeglib.h.
#pragma once

// True when the file was written.
bool CompressPackedRgb(const char* unixPath, int width, int height, int quality,
                       const unsigned char* rgbRows);
