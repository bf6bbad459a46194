// What the portable reduction (output/Scaler.cpp) and its SSSE3 kernels
// (output/ScalerSsse3.cpp) share: the plan of the destination columns, the
// step of the phase walk, the rounding of a sum into a byte, and the one
// entry into the vector code.
//
// The two files are built for different instruction sets. An inline
// function with external linkage would exist once in the program, and the
// linker could keep the copy built for SSSE3 and run it on a processor that
// lacks it; so every function defined here has internal linkage.
#pragma once

#include <stdint.h>

#include "output/Scaler.h"

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

// Where one source pixel (or row) falls among the destination cells.
struct PhaseStep {
    bool crosses;   // cut by the far boundary of its cell
    bool endsCell;  // its cell is complete after it: it crosses or ends on the boundary
    float share;    // when it crosses: the part of it that belongs to the next cell
};

// Adds the whole source into the accumulator (h rows of 3 * w values, all
// zero, with one spare value after them), then stores every destination
// byte as `scale` times its sum, rounded. False, with the destination
// untouched, when working memory could not be had.
typedef bool (*Reducer)(const PixelView& source, const PixelView& destination,
                        const ColumnCell* cells, float* acc, float scale);

// The SSSE3 reduction when this build has it and the processor runs it;
// null otherwise.
Reducer VectorReducer();

namespace {

// Advances the walk by one source pixel along an axis of sourceSize pixels
// reduced to targetSize. Picture the axis as sourceSize * targetSize units:
// a source pixel spans targetSize of them, a destination cell sourceSize,
// and `phase` is where the current pixel starts within its cell. The
// counters are 32-bit: with a source near 65535 pixels a 16-bit sum of phase
// and target size would wrap and send the walk outside the accumulator.
inline PhaseStep StepPhase(uint32_t& phase, uint32_t sourceSize, uint32_t targetSize)
{
    const uint32_t next = phase + targetSize;
    PhaseStep step;
    step.crosses = next > sourceSize;
    step.endsCell = next >= sourceSize;
    step.share = step.crosses
                     ? static_cast<float>(next - sourceSize) / static_cast<float>(targetSize)
                     : 0.0f;
    phase = next >= sourceSize ? next - sourceSize : next;
    return step;
}

// A scaled sum widened to double precision, 0.5 added, truncated, and its
// low 8 bits kept.
inline BYTE RoundedByte(float t)
{
    return static_cast<BYTE>(static_cast<int>(static_cast<double>(t) + 0.5));
}

}  // namespace
