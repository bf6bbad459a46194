// Exact area-average reduction of one picture into a smaller one.
#pragma once

#include "app/DibImage.h"

// Requires 1 <= w <= W, 1 <= h <= H and sizes and pitches below 65536.
// False when no working memory could be had; the destination is then
// untouched.
bool ScaleImage(const DibImage& source, DibImage& destination);
