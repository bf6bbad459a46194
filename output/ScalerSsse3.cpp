// The SSSE3 reduction: one destination row at a time.
//
// All the source rows that add into one destination row are taken in one
// sweep along it: for each cell, every such row in turn, in source order, so
// each accumulator value still receives its terms in the portable walk's
// order, but is loaded and stored once per sweep instead of once per source
// row. The source bytes are widened straight from the picture. As in the
// portable walk, a pixel's three channels travel in the first three lanes
// of a vector whose fourth lane only ever adds zeros and is never stored.
//
// Built with -mssse3 and without fused multiply-adds (output/CMakeLists.txt).
// Everything but the entry point has internal linkage, so that no code
// built for SSSE3 can stand in for a copy that the portable path calls.
#include "output/ScalerKernel.h"

#if defined(__SSSE3__)

#include <new>
#include <stdlib.h>
#include <string.h>

#include <tmmintrin.h>

#include "platform/CpuFeatures.h"

namespace {

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

inline __m128 Load4(const float* p)
{
    return _mm_loadu_ps(p);
}

inline void Store3(float* p, __m128 v)
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
    __m128 a = Load4(topCell);
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
        __m128 d = Load4(bottomCell);
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
        Store3(bottomCell, d);
    }
    Store3(topCell, a);
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
    __m128 a = Load4(topCell);
    for (uint32_t q = 0; q < sweep.count; ++q) {
        const BYTE* p = sweep.rows[q] + offset;
        for (int n = 0; n < N; ++n)
            a += PixelAt(p + 3 * n);
    }
    if (sweep.crossingRow) {
        float* bottomCell = sweep.bottom + 3 * c;
        __m128 d = Load4(bottomCell);
        const BYTE* p = sweep.crossingRow + offset;
        for (int n = 0; n < N; ++n) {
            __m128 v = PixelAt(p + 3 * n);
            a += v * sweep.gy;
            d += v * sweep.fy;
        }
        Store3(bottomCell, d);
    }
    Store3(topCell, a);
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
        __m128 a = Load4(topCell);
        __m128 b = Load4(topCell + 3);
        for (uint32_t q = 0; q < sweep.count; ++q) {
            const BYTE* p = sweep.rows[q] + offset;
            for (int n = 0; n < N; ++n) {
                a += PixelAt(p + 3 * n);
                b += PixelAt(p + 3 * (N + n));
            }
        }
        if (sweep.crossingRow) {
            float* bottomCell = sweep.bottom + 3 * c;
            __m128 d = Load4(bottomCell);
            __m128 e = Load4(bottomCell + 3);
            const BYTE* p = sweep.crossingRow + offset;
            for (int n = 0; n < N; ++n) {
                __m128 u = PixelAt(p + 3 * n);
                __m128 v = PixelAt(p + 3 * (N + n));
                a += u * sweep.gy;
                d += u * sweep.fy;
                b += v * sweep.gy;
                e += v * sweep.fy;
            }
            Store3(bottomCell, d);
            Store3(bottomCell + 3, e);
        }
        Store3(topCell, a);
        Store3(topCell + 3, b);
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

void StoreRow(const float* sums, BYTE* out, size_t len, float scale)
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

bool Accumulate(const PixelView& source, uint32_t w, uint32_t h, float* acc,
                const ColumnCell* cells)
{
    const uint32_t W = source.width, H = source.height;
    // A pixel is read as four bytes; the last row gets a copy with room
    // after it, since nothing may follow the picture's memory.
    BYTE* lastRow = static_cast<BYTE*>(malloc(3 * static_cast<size_t>(W) + 4));
    if (!lastRow)
        return false;
    memcpy(lastRow, source.bits + static_cast<size_t>(H - 1) * source.pitch, 3 * W);
    // CellWeights is over-aligned: new takes care of that on every runtime,
    // where aligned_alloc is not in Microsoft's.
    CellWeights* weights = new (std::nothrow) CellWeights[w];
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
        const PhaseStep step = StepPhase(yPhase, H, h);
        if (step.crosses) {
            sweep.crossingRow = row;
            sweep.fy = _mm_set1_ps(step.share);
            sweep.gy = _mm_set1_ps(1.0f - step.share);
            sweep.bottom = acc + (r + 1) * len;
        } else {
            sweep.rows[sweep.count++] = row;
        }
        if (step.endsCell || sweep.count == SweepRows) {
            run(sweep, cells, weights, w);
            sweep.count = 0;
            sweep.crossingRow = nullptr;
            if (step.endsCell)
                sweep.top = acc + ++r * len;
        }
    }
    delete[] weights;
    free(lastRow);
    return true;
}

bool ReduceSsse3(const PixelView& source, const PixelView& destination, const ColumnCell* cells,
                 float* acc, float scale)
{
    if (!Accumulate(source, destination.width, destination.height, acc, cells))
        return false;
    const size_t len = 3 * static_cast<size_t>(destination.width);
    for (uint32_t r = 0; r < destination.height; ++r)
        StoreRow(acc + r * len, destination.bits + static_cast<size_t>(r) * destination.pitch,
                 len, scale);
    return true;
}

}  // namespace

Reducer VectorReducer()
{
    return CpuHasSsse3() ? ReduceSsse3 : nullptr;
}

#else

// Built without SSSE3 (a compiler or processor family without it): the
// portable walk does all the work.
Reducer VectorReducer()
{
    return nullptr;
}

#endif
