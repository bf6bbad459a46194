#include "tests/reference/PlainScaler.h"

#include <stdlib.h>

bool PlainScalePixels(const PixelView& source, const PixelView& destination)
{
    const uint16_t W = source.width, H = source.height;
    const uint16_t w = destination.width, h = destination.height;
    if (!source.bits || !destination.bits ||
        !CanScale(W, H, source.pitch, w, h, destination.pitch))
        return false;
    // The 16-bit phase sums must not wrap.
    if (W + w > 65535 || H + h > 65535)
        return false;
    const size_t len = 3 * static_cast<size_t>(w);
    float* acc = static_cast<float*>(malloc(h * len * sizeof(float)));
    if (!acc)
        return false;
    for (size_t n = 0; n < h * len; ++n)
        acc[n] = 0.0f;

    size_t idx = 0;
    uint16_t yPhase = 0;
    for (uint32_t i = 0; i < H; ++i) {
        const BYTE* row = source.bits + static_cast<size_t>(i) * source.pitch;
        uint16_t yNext = static_cast<uint16_t>(yPhase + h);
        bool rowCrossing = yNext > H;
        float fy = 0.0f, gy = 1.0f;
        if (rowCrossing) {
            fy = static_cast<float>(yNext - H) / static_cast<float>(h);
            gy = 1.0f - fy;
        }
        uint16_t xPhase = 0;
        for (uint32_t j = 0; j < W; ++j) {
            const BYTE* pixel = row + 3 * j;
            uint16_t xNext = static_cast<uint16_t>(xPhase + w);
            bool pixelCrossing = xNext > W;
            float fx = 0.0f, gx = 1.0f;
            if (pixelCrossing) {
                fx = static_cast<float>(xNext - W) / static_cast<float>(w);
                gx = 1.0f - fx;
            }
            if (!rowCrossing && !pixelCrossing) {
                for (int k = 0; k < 3; ++k)
                    acc[idx + k] += static_cast<float>(pixel[k]);
            } else if (!rowCrossing) {
                for (int k = 0; k < 3; ++k) {
                    float v = static_cast<float>(pixel[k]);
                    acc[idx + k] += v * gx;
                    acc[idx + 3 + k] += v * fx;
                }
            } else if (!pixelCrossing) {
                for (int k = 0; k < 3; ++k) {
                    float v = static_cast<float>(pixel[k]);
                    acc[idx + k] += v * gy;
                    acc[idx + len + k] += v * fy;
                }
            } else {
                float gygx = gy * gx, gyfx = gy * fx, fygx = fy * gx, fyfx = fy * fx;
                for (int k = 0; k < 3; ++k) {
                    float v = static_cast<float>(pixel[k]);
                    acc[idx + k] += v * gygx;
                    acc[idx + 3 + k] += v * gyfx;
                    acc[idx + len + k] += v * fygx;
                    acc[idx + len + 3 + k] += v * fyfx;
                }
            }
            if (pixelCrossing)
                idx += 3;
            xPhase = xNext >= W ? static_cast<uint16_t>(xNext - W) : xNext;
            if (!pixelCrossing && xPhase == 0)
                idx += 3;
        }
        if (!rowCrossing && yNext < H)
            idx -= len;
        yPhase = yNext >= H ? static_cast<uint16_t>(yNext - H) : yNext;
    }

    float scale = static_cast<float>(static_cast<uint32_t>(w) * h) /
                  static_cast<float>(static_cast<uint32_t>(W) * H);
    for (uint32_t r = 0; r < h; ++r) {
        BYTE* out = destination.bits + static_cast<size_t>(r) * destination.pitch;
        for (size_t j = 0; j < len; ++j) {
            float t = scale * acc[r * len + j];
            out[j] = static_cast<BYTE>(static_cast<int>(static_cast<double>(t) + 0.5));
        }
    }
    free(acc);
    return true;
}
