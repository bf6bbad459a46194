// The reduction done one source pixel and one channel at a time, as
// directly as it can be written: the yardstick for the scaler's speed and
// the proof of its bytes (the two must agree exactly).
#pragma once

#include "output/Scaler.h"

bool PlainScalePixels(const PixelView& source, const PixelView& destination);
