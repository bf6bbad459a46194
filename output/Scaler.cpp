#include "output/Scaler.h"

#include <stdlib.h>
#include <string.h>

#include "output/ScalerKernel.h"

// The bytes are fixed by the order of the single-precision operations on
// every accumulator value, so this file and the SSSE3 kernels are built
// without contraction into fused multiply-adds (see output/CMakeLists.txt)
// and each value receives its terms in the same order as the
// one-pixel-at-a-time walk over the source: left to right, top row of
// storage first. The work is arranged so that the pixels lying wholly inside
// a cell are summed in a tight loop and the column fractions are worked out
// once per picture, not per pixel.
//
// A pixel's three channels travel together in the first three lanes of a
// four-lane vector whose fourth lane only ever adds zeros and is never
// stored: every lane does the very operations a lone channel would.

namespace {

const uint32_t SizeLimit = 65535;

// A DibImage's row pitch for a width the scaler may take; 0 for any other
// width, which CanScale refuses whatever the pitch.
int ImagePitch(int width)
{
    return width >= 1 && width <= static_cast<int>(SizeLimit) ? 3 * DibImage::StrideFor(width)
                                                              : 0;
}

// Splits a source row of W pixels into w destination columns.
void PlanColumns(uint32_t W, uint32_t w, ColumnCell* cells)
{
    uint32_t xPhase = 0;
    uint32_t c = 0;
    cells[0] = ColumnCell{0, false, 1.0f, 0.0f};
    for (uint32_t j = 0; j < W; ++j) {
        const PhaseStep step = StepPhase(xPhase, W, w);
        if (step.crosses) {
            cells[c].crossEnd = true;
            cells[c].fx = step.share;
            cells[c].gx = 1.0f - step.share;
        } else {
            cells[c].inside++;
        }
        if (step.endsCell && ++c < w)
            cells[c] = ColumnCell{0, false, 1.0f, 0.0f};
    }
}

// ---- Portable walk: one source row at a time ----

typedef float Float4 __attribute__((vector_size(16)));

inline Float4 Load4(const float* p)
{
    Float4 v;
    memcpy(&v, p, sizeof v);
    return v;
}

inline void Store3(float* p, Float4 v)
{
    memcpy(p, &v, 3 * sizeof(float));
}

void ConvertPixels(const BYTE* bytes, Float4* pixels, uint32_t count)
{
    for (uint32_t j = 0; j < count; ++j, bytes += 3)
        pixels[j] = Float4{static_cast<float>(bytes[0]), static_cast<float>(bytes[1]),
                           static_cast<float>(bytes[2]), 0.0f};
}

// A source row that lies inside destination row `acc`. The share a crossing
// pixel leaves for the next column is carried and added when that column is
// taken up; with nothing to carry it is zero, and adding zero leaves a
// non-negative sum exactly as it was.
void AddInsideRow(float* acc, const Float4* v, const ColumnCell* cells, uint32_t w)
{
    Float4 carry = {0.0f, 0.0f, 0.0f, 0.0f};
    for (uint32_t c = 0; c < w; ++c, acc += 3) {
        Float4 a = Load4(acc) + carry;
        for (uint32_t n = cells[c].inside; n; --n)
            a += *v++;
        if (cells[c].crossEnd) {
            a += *v * cells[c].gx;
            carry = *v++ * cells[c].fx;
        } else {
            carry = Float4{0.0f, 0.0f, 0.0f, 0.0f};
        }
        Store3(acc, a);
    }
}

// A source row cut by the boundary between destination rows `top` and
// `bottom` (the next row of the accumulator), gy of it above, fy below.
void AddCrossingRow(float* top, float* bottom, const Float4* v, const ColumnCell* cells,
                    uint32_t w, float gy, float fy)
{
    Float4 carryTop = {0.0f, 0.0f, 0.0f, 0.0f};
    Float4 carryBottom = carryTop;
    for (uint32_t c = 0; c < w; ++c, top += 3, bottom += 3) {
        Float4 a = Load4(top) + carryTop;
        Float4 d = Load4(bottom) + carryBottom;
        for (uint32_t n = cells[c].inside; n; --n, ++v) {
            a += *v * gy;
            d += *v * fy;
        }
        if (cells[c].crossEnd) {
            const float gx = cells[c].gx, fx = cells[c].fx;
            const float gygx = gy * gx, gyfx = gy * fx, fygx = fy * gx, fyfx = fy * fx;
            a += *v * gygx;
            carryTop = *v * gyfx;
            d += *v * fygx;
            carryBottom = *v * fyfx;
            ++v;
        } else {
            carryTop = carryBottom = Float4{0.0f, 0.0f, 0.0f, 0.0f};
        }
        Store3(top, a);
        Store3(bottom, d);
    }
}

bool AccumulatePortable(const PixelView& source, uint32_t w, uint32_t h, float* acc,
                        const ColumnCell* cells)
{
    const uint32_t W = source.width, H = source.height;
    Float4* rowValues = static_cast<Float4*>(malloc(W * sizeof(Float4)));
    if (!rowValues)
        return false;
    const size_t len = 3 * static_cast<size_t>(w);
    uint32_t yPhase = 0;
    size_t r = 0;
    for (uint32_t i = 0; i < H; ++i) {
        ConvertPixels(source.bits + static_cast<size_t>(i) * source.pitch, rowValues, W);
        float* row = acc + r * len;
        const PhaseStep step = StepPhase(yPhase, H, h);
        if (step.crosses)
            AddCrossingRow(row, row + len, rowValues, cells, w, 1.0f - step.share, step.share);
        else
            AddInsideRow(row, rowValues, cells, w);
        if (step.endsCell)
            ++r;
    }
    free(rowValues);
    return true;
}

bool ReducePortable(const PixelView& source, const PixelView& destination,
                    const ColumnCell* cells, float* acc, float scale)
{
    if (!AccumulatePortable(source, destination.width, destination.height, acc, cells))
        return false;
    const size_t len = 3 * static_cast<size_t>(destination.width);
    for (uint32_t r = 0; r < destination.height; ++r) {
        const float* sums = acc + r * len;
        BYTE* out = destination.bits + static_cast<size_t>(r) * destination.pitch;
        for (size_t j = 0; j < len; ++j)
            out[j] = RoundedByte(scale * sums[j]);
    }
    return true;
}

bool Scale(const PixelView& source, const PixelView& destination, bool allowVector)
{
    const uint32_t W = source.width, H = source.height;
    const uint32_t w = destination.width, h = destination.height;
    if (!source.bits || !destination.bits ||
        !CanScale(W, H, source.pitch, w, h, destination.pitch))
        return false;

    Reducer reduce = allowVector ? VectorReducer() : nullptr;
    if (!reduce)
        reduce = ReducePortable;

    const size_t values = static_cast<size_t>(h) * 3 * w;
    // One value more than the accumulator holds: the last cell's vector
    // reaches one lane past the end (read, never written).
    float* acc = static_cast<float*>(calloc(values + 1, sizeof(float)));
    ColumnCell* cells = static_cast<ColumnCell*>(malloc(w * sizeof(ColumnCell)));
    bool ok = acc && cells;
    if (ok) {
        PlanColumns(W, w, cells);
        const float scale = static_cast<float>(w * h) / static_cast<float>(W * H);
        ok = reduce(source, destination, cells, acc, scale);
    }
    free(cells);
    free(acc);
    return ok;
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

bool CanScaleImages(int sourceWidth, int sourceHeight, int width, int height)
{
    return CanScale(sourceWidth, sourceHeight, ImagePitch(sourceWidth), width, height,
                    ImagePitch(width));
}

bool ScalePixels(const PixelView& source, const PixelView& destination)
{
    return Scale(source, destination, true);
}

bool ScalePixelsPortable(const PixelView& source, const PixelView& destination)
{
    return Scale(source, destination, false);
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
