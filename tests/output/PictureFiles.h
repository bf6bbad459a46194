// Pictures as files for the writer tests: PPM in, the system's own cjpeg and
// djpeg (Debian's libjpeg-turbo-progs) run as Unix commands.
#pragma once

#include "support/TestSupport.h"

#include <string>
#include <vector>

#include "app/DibImage.h"

// Packed top-down red-green-blue rows of a picture, read independently of
// the writer under test.
std::vector<BYTE> TopDownRgb(const DibImage& image);

// Fills a picture from a colour function (0x00RRGGBB at column x, row y
// from the top) and the storage bytes after each row with garbage.
typedef DWORD (*PictureColour)(int x, int y);
void FillPicture(DibImage& image, PictureColour colour);

std::string UnixPath(const std::u16string& windowsPath);

// What `cjpeg -quality Q -baseline` writes for these pixels given as a PPM.
std::vector<BYTE> CjpegBytes(const ScratchFolder& folder, int width, int height,
                             const std::vector<BYTE>& rgb, int quality);

// Decodes a JPEG file with djpeg into packed top-down RGB; false on failure.
bool DjpegDecode(const ScratchFolder& folder, const std::u16string& jpegPath, int& width,
                 int& height, std::vector<BYTE>& rgb);
