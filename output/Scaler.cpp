#include "output/Scaler.h"

#include <stdlib.h>
#include <string.h>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#define TAVRO_SCALER_SSSE3 1
#endif

// The bytes are fixed by the order of the single-precision operations on
// every accumulator value, so this file is built without contraction into
// fused multiply-adds (see output/CMakeLists.txt) and each value receives
// its terms in the same order as the one-pixel-at-a-time walk over the
// source: left to right, top row of storage first. The work is arranged so
// that the pixels lying wholly inside a cell are summed in a tight loop and
// the column fractions are worked out once per picture, not per pixel.
//
// A pixel's three channels travel together in the first three lanes of a
// four-lane vector whose fourth lane only ever adds zeros and is never
// stored: every lane does the very operations a lone channel would.
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

// A scaled sum widened to double precision, 0.5 added, truncated, and its
// low 8 bits kept.
inline BYTE RoundedByte(float t)
{
    return static_cast<BYTE>(static_cast<int>(static_cast<double>(t) + 0.5));
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
    free(rowValues);
    return true;
}

#if TAVRO_SCALER_SSSE3
// ---- SSSE3 walk: one destination row at a time ----
//
// All the source rows that add into one destination row are taken in one
// sweep along it: for each cell, every such row in turn, in source order, so
// each accumulator value still receives its terms in the walk's order, but
// is loaded and stored once per sweep instead of once per source row. The
// source bytes are widened straight from the picture.

#pragma GCC push_options
#pragma GCC target("ssse3")

// At most this many inside rows go into one sweep; more take several
// sweeps, which keeps the order.
const uint32_t SweepRows = 32;

inline __m128 PixelAt(const BYTE* p)
{
    int32_t word;
    memcpy(&word, p, sizeof word);
    const __m128i spread = _mm_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, -1, -1, -1, -1);
    return _mm_cvtepi32_ps(_mm_shuffle_epi8(_mm_cvtsi32_si128(word), spread));
}

inline __m128 Load4Sse(const float* p)
{
    return _mm_loadu_ps(p);
}

inline void Store3Sse(float* p, __m128 v)
{
    _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
    _mm_store_ss(p + 2, _mm_movehl_ps(v, v));
}

struct Sweep {
    float* top;                    // the destination row being filled
    float* bottom;                 // the next one, when a crossing row ends the sweep
    const BYTE* rows[SweepRows];  // inside rows, in source order
    uint32_t count;
    const BYTE* crossingRow;       // or null
    __m128 gy;                     // its two shares, in every lane
    __m128 fy;
};

// A cell's column fractions in every lane, so that they multiply whole
// pixels without being spread out again for every row.
struct CellWeights {
    __m128 gx;
    __m128 fx;
};

// What a sweep carries from one cell to the next: the shares that the
// pixels cut by the cell's right boundary leave for the next cell, one per
// inside row and two for the crossing row.
struct Carries {
    __m128 rows[SweepRows];
    __m128 top;
    __m128 bottom;
};

// One cell of a sweep. INSIDE is the number of whole pixels (-1: given at
// run time), LEFT whether a share comes in from the previous cell, CROSS
// whether the cell's last pixel is cut; fixing them lets the common cells
// run without tests.
template <int INSIDE, bool LEFT, bool CROSS>
void SweepCell(const Sweep& sweep, const ColumnCell& cell, const CellWeights& weights, size_t c,
               size_t offset, Carries& carries)
{
    const uint32_t inside = INSIDE >= 0 ? static_cast<uint32_t>(INSIDE) : cell.inside;
    const __m128 gx = weights.gx, fx = weights.fx;
    float* topCell = sweep.top + 3 * c;
    __m128 a = Load4Sse(topCell);
    for (uint32_t q = 0; q < sweep.count; ++q) {
        const BYTE* p = sweep.rows[q] + offset;
        if (LEFT)
            a += carries.rows[q];
        for (uint32_t n = 0; n < inside; ++n, p += 3)
            a += PixelAt(p);
        if (CROSS) {
            __m128 v = PixelAt(p);
            a += v * gx;
            carries.rows[q] = v * fx;
        }
    }
    if (sweep.crossingRow) {
        const __m128 gy = sweep.gy, fy = sweep.fy;
        float* bottomCell = sweep.bottom + 3 * c;
        __m128 d = Load4Sse(bottomCell);
        const BYTE* p = sweep.crossingRow + offset;
        if (LEFT) {
            a += carries.top;
            d += carries.bottom;
        }
        for (uint32_t n = 0; n < inside; ++n, p += 3) {
            __m128 v = PixelAt(p);
            a += v * gy;
            d += v * fy;
        }
        if (CROSS) {
            const __m128 gygx = gy * gx, gyfx = gy * fx, fygx = fy * gx, fyfx = fy * fx;
            __m128 v = PixelAt(p);
            a += v * gygx;
            carries.top = v * gyfx;
            d += v * fygx;
            carries.bottom = v * fyfx;
        }
        Store3Sse(bottomCell, d);
    }
    Store3Sse(topCell, a);
}

template <int INSIDE>
inline void SweepCellOf(bool left, bool cross, const Sweep& sweep, const ColumnCell& cell,
                        const CellWeights& weights, size_t c, size_t offset, Carries& carries)
{
    if (left) {
        if (cross)
            SweepCell<INSIDE, true, true>(sweep, cell, weights, c, offset, carries);
        else
            SweepCell<INSIDE, true, false>(sweep, cell, weights, c, offset, carries);
    } else {
        if (cross)
            SweepCell<INSIDE, false, true>(sweep, cell, weights, c, offset, carries);
        else
            SweepCell<INSIDE, false, false>(sweep, cell, weights, c, offset, carries);
    }
}

void RunSweep(const Sweep& sweep, const ColumnCell* cells, const CellWeights* weights,
              uint32_t w)
{
    Carries carries;
    bool left = false;  // the previous cell's last pixel crossed into this one
    size_t offset = 0;  // bytes from a row's start to the cell's first whole pixel
    for (uint32_t c = 0; c < w; ++c) {
        const ColumnCell& cell = cells[c];
        const CellWeights& weight = weights[c];
        const bool cross = cell.crossEnd;
        switch (cell.inside) {
        case 0: SweepCellOf<0>(left, cross, sweep, cell, weight, c, offset, carries); break;
        case 1: SweepCellOf<1>(left, cross, sweep, cell, weight, c, offset, carries); break;
        case 2: SweepCellOf<2>(left, cross, sweep, cell, weight, c, offset, carries); break;
        case 3: SweepCellOf<3>(left, cross, sweep, cell, weight, c, offset, carries); break;
        default: SweepCellOf<-1>(left, cross, sweep, cell, weight, c, offset, carries); break;
        }
        left = cross;
        offset += 3 * (cell.inside + (cross ? 1 : 0));
    }
}

// The common case of a whole number N of source columns per destination
// column: no pixel is cut, every cell takes N whole pixels, and the loop
// goes without any test per cell.
template <int N>
inline void UniformCell(const Sweep& sweep, size_t c)
{
    const size_t offset = 3 * N * c;
    float* topCell = sweep.top + 3 * c;
    __m128 a = Load4Sse(topCell);
    for (uint32_t q = 0; q < sweep.count; ++q) {
        const BYTE* p = sweep.rows[q] + offset;
        for (int n = 0; n < N; ++n)
            a += PixelAt(p + 3 * n);
    }
    if (sweep.crossingRow) {
        float* bottomCell = sweep.bottom + 3 * c;
        __m128 d = Load4Sse(bottomCell);
        const BYTE* p = sweep.crossingRow + offset;
        for (int n = 0; n < N; ++n) {
            __m128 v = PixelAt(p + 3 * n);
            a += v * sweep.gy;
            d += v * sweep.fy;
        }
        Store3Sse(bottomCell, d);
    }
    Store3Sse(topCell, a);
}

// Two neighbouring cells at a time: their sums are independent chains of
// additions, which the processor can then overlap.
template <int N>
void RunUniformSweep(const Sweep& sweep, uint32_t w)
{
    size_t c = 0;
    for (; c + 2 <= w; c += 2) {
        const size_t offset = 3 * N * c;
        float* topCell = sweep.top + 3 * c;
        __m128 a = Load4Sse(topCell);
        __m128 b = Load4Sse(topCell + 3);
        for (uint32_t q = 0; q < sweep.count; ++q) {
            const BYTE* p = sweep.rows[q] + offset;
            for (int n = 0; n < N; ++n) {
                a += PixelAt(p + 3 * n);
                b += PixelAt(p + 3 * (N + n));
            }
        }
        if (sweep.crossingRow) {
            float* bottomCell = sweep.bottom + 3 * c;
            __m128 d = Load4Sse(bottomCell);
            __m128 e = Load4Sse(bottomCell + 3);
            const BYTE* p = sweep.crossingRow + offset;
            for (int n = 0; n < N; ++n) {
                __m128 u = PixelAt(p + 3 * n);
                __m128 v = PixelAt(p + 3 * (N + n));
                a += u * sweep.gy;
                d += u * sweep.fy;
                b += v * sweep.gy;
                e += v * sweep.fy;
            }
            Store3Sse(bottomCell, d);
            Store3Sse(bottomCell + 3, e);
        }
        Store3Sse(topCell, a);
        Store3Sse(topCell + 3, b);
    }
    if (c < w)
        UniformCell<N>(sweep, c);
}

// Turns sums into bytes sixteen at a time. For 0 <= t < 2^31 the widening,
// the 0.5 added in double precision and the truncation give exactly
// floor(t + 0.5): the integer part of t, plus one when the fraction, which
// single precision holds exactly, is at least 0.5. The low 8 bits are kept.
inline __m128i RoundedHalfUp(__m128 t)
{
    __m128i whole = _mm_cvttps_epi32(t);
    __m128 fraction = _mm_sub_ps(t, _mm_cvtepi32_ps(whole));
    __m128i up = _mm_castps_si128(_mm_cmpge_ps(fraction, _mm_set1_ps(0.5f)));
    return _mm_and_si128(_mm_sub_epi32(whole, up), _mm_set1_epi32(0xFF));
}

void StoreRowSse(const float* sums, BYTE* out, size_t len, float scale)
{
    const __m128 factor = _mm_set1_ps(scale);
    size_t j = 0;
    for (; j + 16 <= len; j += 16) {
        __m128i v0 = RoundedHalfUp(_mm_mul_ps(factor, _mm_loadu_ps(sums + j)));
        __m128i v1 = RoundedHalfUp(_mm_mul_ps(factor, _mm_loadu_ps(sums + j + 4)));
        __m128i v2 = RoundedHalfUp(_mm_mul_ps(factor, _mm_loadu_ps(sums + j + 8)));
        __m128i v3 = RoundedHalfUp(_mm_mul_ps(factor, _mm_loadu_ps(sums + j + 12)));
        __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(v0, v1), _mm_packs_epi32(v2, v3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + j), bytes);
    }
    for (; j < len; ++j) {
        out[j] = RoundedByte(scale * sums[j]);
    }
}

#pragma GCC pop_options

typedef void (*SweepRunner)(const Sweep&, const ColumnCell*, const CellWeights*, uint32_t);

template <int N>
void UniformSweep(const Sweep& sweep, const ColumnCell*, const CellWeights*, uint32_t w)
{
    RunUniformSweep<N>(sweep, w);
}

SweepRunner ChooseSweep(uint32_t W, uint32_t w)
{
    if (W % w == 0) {
        switch (W / w) {
        case 1: return UniformSweep<1>;
        case 2: return UniformSweep<2>;
        case 3: return UniformSweep<3>;
        case 4: return UniformSweep<4>;
        }
    }
    return RunSweep;
}

bool AccumulateSsse3(const PixelView& source, uint32_t w, uint32_t h, float* acc,
                     const ColumnCell* cells)
{
    const uint32_t W = source.width, H = source.height;
    // A pixel is read as four bytes; the last row gets a copy with room
    // after it, since nothing may follow the picture's memory.
    BYTE* lastRow = static_cast<BYTE*>(malloc(3 * static_cast<size_t>(W) + 4));
    if (!lastRow)
        return false;
    memcpy(lastRow, source.bits + static_cast<size_t>(H - 1) * source.pitch, 3 * W);
    CellWeights* weights = static_cast<CellWeights*>(aligned_alloc(16, w * sizeof(CellWeights)));
    if (!weights) {
        free(lastRow);
        return false;
    }
    for (uint32_t c = 0; c < w; ++c)
        weights[c] = CellWeights{_mm_set1_ps(cells[c].gx), _mm_set1_ps(cells[c].fx)};

    const size_t len = 3 * static_cast<size_t>(w);
    SweepRunner run = ChooseSweep(W, w);
    Sweep sweep = {};
    sweep.top = acc;
    uint32_t yPhase = 0;
    size_t r = 0;
    for (uint32_t i = 0; i < H; ++i) {
        const BYTE* row =
            i + 1 < H ? source.bits + static_cast<size_t>(i) * source.pitch : lastRow;
        uint32_t yNext = yPhase + h;
        bool crossing = yNext > H;
        if (crossing) {
            sweep.crossingRow = row;
            float fy = static_cast<float>(yNext - H) / static_cast<float>(h);
            sweep.fy = _mm_set1_ps(fy);
            sweep.gy = _mm_set1_ps(1.0f - fy);
            sweep.bottom = acc + (r + 1) * len;
        } else {
            sweep.rows[sweep.count++] = row;
        }
        bool rowDone = crossing || yNext == H;
        if (rowDone || sweep.count == SweepRows) {
            run(sweep, cells, weights, w);
            sweep.count = 0;
            sweep.crossingRow = nullptr;
            if (rowDone)
                sweep.top = acc + ++r * len;
        }
        yPhase = yNext >= H ? yNext - H : yNext;
    }
    free(weights);
    free(lastRow);
    return true;
}

bool HaveSsse3()
{
    return __builtin_cpu_supports("ssse3");
}
#endif

void StoreAverages(const float* acc, const PixelView& destination, float scale, bool simd)
{
    const size_t len = 3 * static_cast<size_t>(destination.width);
    for (uint32_t r = 0; r < destination.height; ++r) {
        const float* sums = acc + r * len;
        BYTE* out = destination.bits + static_cast<size_t>(r) * destination.pitch;
#if TAVRO_SCALER_SSSE3
        if (simd) {
            StoreRowSse(sums, out, len, scale);
            continue;
        }
#else
        (void)simd;
#endif
        for (size_t j = 0; j < len; ++j) {
            out[j] = RoundedByte(scale * sums[j]);
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

namespace {

bool Scale(const PixelView& source, const PixelView& destination, bool allowSsse3)
{
    const uint32_t W = source.width, H = source.height;
    const uint32_t w = destination.width, h = destination.height;
    if (!source.bits || !destination.bits ||
        !CanScale(W, H, source.pitch, w, h, destination.pitch))
        return false;

    const size_t values = static_cast<size_t>(h) * 3 * w;
    // One value more than the accumulator holds: the last cell's vector
    // reaches one lane past the end (read, never written).
    float* acc = static_cast<float*>(calloc(values + 1, sizeof(float)));
#if TAVRO_SCALER_SSSE3
    const bool simd = allowSsse3 && HaveSsse3();
#else
    const bool simd = false;
    (void)allowSsse3;
#endif
    ColumnCell* cells = static_cast<ColumnCell*>(malloc(w * sizeof(ColumnCell)));
    bool ok = acc && cells;
    if (ok) {
        PlanColumns(W, w, cells);
#if TAVRO_SCALER_SSSE3
        if (simd)
            ok = AccumulateSsse3(source, w, h, acc, cells);
        else
#endif
            ok = AccumulatePortable(source, w, h, acc, cells);
    }
    if (ok) {
        const float scale = static_cast<float>(w * h) / static_cast<float>(W * H);
        StoreAverages(acc, destination, scale, simd);
    }
    free(cells);
    free(acc);
    return ok;
}

}  // namespace

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
