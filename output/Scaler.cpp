#include "output/Scaler.h"

#include <stdlib.h>

// The bytes are fixed by the order of the single-precision operations on
// every accumulator value, so this file is built without contraction into
// fused multiply-adds (see output/CMakeLists.txt) and each value receives
// its terms in the same order as the one-pixel-at-a-time walk over the
// source: left to right, top row of storage first. The work is arranged so
// that the pixels lying wholly inside a cell are summed in a tight loop and
// the column fractions are worked out once per picture, not per pixel.
//
// The phase counters are kept in 32 bits. They take the same values as
// 16-bit counters wherever those cannot wrap; with a source near 65535
// pixels along an axis the 16-bit sum of phase and target size would wrap
// and send the accumulator index outside its memory.

namespace {

const uint32_t SizeLimit = 65535;

// How one destination column takes its source pixels: after the share of
// the pixel that crossed in from the left (if any), `inside` whole pixels,
// then, when `crossEnd` is set, one pixel cut by the right boundary whose
// left part weighs gx and right part fx.
struct ColumnCell {
    uint32_t inside;
    bool crossEnd;
    float gx;
    float fx;
};

// Splits a source row of W pixels into w destination columns.
void PlanColumns(uint32_t W, uint32_t w, ColumnCell* cells)
{
    uint32_t xPhase = 0;
    uint32_t c = 0;
    cells[0] = ColumnCell{0, false, 1.0f, 0.0f};
    for (uint32_t j = 0; j < W; ++j) {
        uint32_t xNext = xPhase + w;
        bool crossing = xNext > W;
        if (crossing) {
            float fx = static_cast<float>(xNext - W) / static_cast<float>(w);
            cells[c].crossEnd = true;
            cells[c].fx = fx;
            cells[c].gx = 1.0f - fx;
        } else {
            cells[c].inside++;
        }
        xPhase = xNext >= W ? xNext - W : xNext;
        if (crossing || xPhase == 0) {
            if (++c < w)
                cells[c] = ColumnCell{0, false, 1.0f, 0.0f};
        }
    }
}

void ConvertRow(const BYTE* bytes, float* values, uint32_t count)
{
    for (uint32_t k = 0; k < count; ++k)
        values[k] = static_cast<float>(bytes[k]);
}

// A source row that lies inside destination row `acc`. The share a crossing
// pixel leaves for the next column is carried in c0..c2 and added when that
// column is taken up; with nothing to carry they hold zero, and adding zero
// leaves a non-negative sum exactly as it was.
void AddInsideRow(float* acc, const float* v, const ColumnCell* cells, uint32_t w)
{
    float c0 = 0.0f, c1 = 0.0f, c2 = 0.0f;
    for (uint32_t c = 0; c < w; ++c, acc += 3) {
        float a0 = acc[0] + c0, a1 = acc[1] + c1, a2 = acc[2] + c2;
        for (uint32_t n = cells[c].inside; n; --n, v += 3) {
            a0 += v[0];
            a1 += v[1];
            a2 += v[2];
        }
        if (cells[c].crossEnd) {
            const float gx = cells[c].gx, fx = cells[c].fx;
            a0 += v[0] * gx;
            a1 += v[1] * gx;
            a2 += v[2] * gx;
            c0 = v[0] * fx;
            c1 = v[1] * fx;
            c2 = v[2] * fx;
            v += 3;
        } else {
            c0 = c1 = c2 = 0.0f;
        }
        acc[0] = a0;
        acc[1] = a1;
        acc[2] = a2;
    }
}

// A source row cut by the boundary between destination rows `top` and
// `bottom` (the next row of the accumulator), gy of it above, fy below.
void AddCrossingRow(float* top, float* bottom, const float* v, const ColumnCell* cells,
                    uint32_t w, float gy, float fy)
{
    float t0 = 0.0f, t1 = 0.0f, t2 = 0.0f;
    float b0 = 0.0f, b1 = 0.0f, b2 = 0.0f;
    for (uint32_t c = 0; c < w; ++c, top += 3, bottom += 3) {
        float a0 = top[0] + t0, a1 = top[1] + t1, a2 = top[2] + t2;
        float d0 = bottom[0] + b0, d1 = bottom[1] + b1, d2 = bottom[2] + b2;
        for (uint32_t n = cells[c].inside; n; --n, v += 3) {
            a0 += v[0] * gy;
            a1 += v[1] * gy;
            a2 += v[2] * gy;
            d0 += v[0] * fy;
            d1 += v[1] * fy;
            d2 += v[2] * fy;
        }
        if (cells[c].crossEnd) {
            const float gx = cells[c].gx, fx = cells[c].fx;
            const float gygx = gy * gx, gyfx = gy * fx, fygx = fy * gx, fyfx = fy * fx;
            a0 += v[0] * gygx;
            a1 += v[1] * gygx;
            a2 += v[2] * gygx;
            t0 = v[0] * gyfx;
            t1 = v[1] * gyfx;
            t2 = v[2] * gyfx;
            d0 += v[0] * fygx;
            d1 += v[1] * fygx;
            d2 += v[2] * fygx;
            b0 = v[0] * fyfx;
            b1 = v[1] * fyfx;
            b2 = v[2] * fyfx;
            v += 3;
        } else {
            t0 = t1 = t2 = b0 = b1 = b2 = 0.0f;
        }
        top[0] = a0;
        top[1] = a1;
        top[2] = a2;
        bottom[0] = d0;
        bottom[1] = d1;
        bottom[2] = d2;
    }
}

void Accumulate(const PixelView& source, uint32_t w, uint32_t h, float* acc, float* rowValues,
                const ColumnCell* cells)
{
    const uint32_t W = source.width, H = source.height;
    const size_t len = 3 * static_cast<size_t>(w);
    uint32_t yPhase = 0;
    size_t r = 0;
    for (uint32_t i = 0; i < H; ++i) {
        ConvertRow(source.bits + static_cast<size_t>(i) * source.pitch, rowValues, 3 * W);
        float* row = acc + r * len;
        uint32_t yNext = yPhase + h;
        if (yNext > H) {
            float fy = static_cast<float>(yNext - H) / static_cast<float>(h);
            AddCrossingRow(row, row + len, rowValues, cells, w, 1.0f - fy, fy);
            ++r;
        } else {
            AddInsideRow(row, rowValues, cells, w);
            if (yNext == H)
                ++r;
        }
        yPhase = yNext >= H ? yNext - H : yNext;
    }
}

void StoreAverages(const float* acc, const PixelView& destination, float scale)
{
    const size_t len = 3 * static_cast<size_t>(destination.width);
    for (uint32_t r = 0; r < destination.height; ++r) {
        const float* sums = acc + r * len;
        BYTE* out = destination.bits + static_cast<size_t>(r) * destination.pitch;
        for (size_t j = 0; j < len; ++j) {
            float t = scale * sums[j];
            out[j] = static_cast<BYTE>(static_cast<int>(static_cast<double>(t) + 0.5));
        }
    }
}

}  // namespace

bool CanScale(int sourceWidth, int sourceHeight, int sourcePitch, int width, int height,
              int pitch)
{
    const int limit = static_cast<int>(SizeLimit);
    return width >= 1 && height >= 1 && width <= sourceWidth && height <= sourceHeight &&
           sourceWidth <= limit && sourceHeight <= limit && sourcePitch <= limit &&
           pitch <= limit && sourcePitch >= 3 * sourceWidth && pitch >= 3 * width;
}

bool ScalePixels(const PixelView& source, const PixelView& destination)
{
    const uint32_t W = source.width, H = source.height;
    const uint32_t w = destination.width, h = destination.height;
    if (!source.bits || !destination.bits ||
        !CanScale(W, H, source.pitch, w, h, destination.pitch))
        return false;

    const size_t values = static_cast<size_t>(h) * 3 * w;
    float* acc = static_cast<float*>(calloc(values, sizeof(float)));
    float* rowValues = static_cast<float*>(malloc(3 * static_cast<size_t>(W) * sizeof(float)));
    ColumnCell* cells = static_cast<ColumnCell*>(malloc(w * sizeof(ColumnCell)));
    bool ok = acc && rowValues && cells;
    if (ok) {
        PlanColumns(W, w, cells);
        Accumulate(source, w, h, acc, rowValues, cells);
        const float scale = static_cast<float>(w * h) / static_cast<float>(W * H);
        StoreAverages(acc, destination, scale);
    }
    free(cells);
    free(rowValues);
    free(acc);
    return ok;
}

bool ScaleImage(const DibImage& source, DibImage& destination)
{
    if (!source.bits || !destination.bits ||
        !CanScale(source.width, source.height, source.RowPitch(), destination.width,
                  destination.height, destination.RowPitch()))
        return false;
    PixelView from = {static_cast<uint16_t>(source.width), static_cast<uint16_t>(source.height),
                      static_cast<uint16_t>(source.RowPitch()), source.bits};
    PixelView to = {static_cast<uint16_t>(destination.width),
                    static_cast<uint16_t>(destination.height),
                    static_cast<uint16_t>(destination.RowPitch()), destination.bits};
    return ScalePixels(from, to);
}
