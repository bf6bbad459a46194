// Exact area-average reduction of one picture into a smaller one.
#pragma once

#include <stdint.h>

#include "app/DibImage.h"

// A picture as the scaler sees it: rows in storage order, `pitch` bytes
// apart, three independent byte channels per pixel.
struct PixelView {
    uint16_t width;
    uint16_t height;
    uint16_t pitch;
    BYTE* bits;
};

// True when the scaler can take these sizes: 1 <= w <= W, 1 <= h <= H, every
// size and pitch below 65536.
bool CanScale(int sourceWidth, int sourceHeight, int sourcePitch, int width, int height,
              int pitch);

// The same for two DibImages of these sizes, before either is made.
bool CanScaleImages(int sourceWidth, int sourceHeight, int width, int height);

// Every destination pixel becomes the covered-fraction average of the
// source cell it covers. Writes the first 3 * width bytes of each
// destination row and nothing else. False, with the destination untouched,
// when the sizes are outside what CanScale accepts or no working memory
// could be had.
bool ScalePixels(const PixelView& source, const PixelView& destination);

// The same without the processor-specific vector code, for processors that
// lack it; callable on any so that both can be checked to agree.
bool ScalePixelsPortable(const PixelView& source, const PixelView& destination);

// The same on two pictures, the destination already created at its size.
bool ScaleImage(const DibImage& source, DibImage& destination);
