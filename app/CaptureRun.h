// The capture mode: one picture of the whole screen, stored and announced.
#pragma once

#include <windows.h>

const int MaxDelaySeconds = 360000;

int CaptureRun();

// How a capture waits out its delay, given in milliseconds: Sleep, unless a
// test has set another wait for its process (one that stands for what
// happens meanwhile, or notes what it was asked to wait); null puts Sleep
// back.
typedef void (*DelayWait)(DWORD milliseconds);
void SetDelayWait(DelayWait wait);

// The number after counter: (counter + 1) remainder 100, the remainder
// taking the sign of the dividend; computed wide, so that the largest
// stored number gives 48 rather than overflowing.
int NextCounter(int counter);

struct PictureSize {
    int width;
    int height;
    bool scaled;  // false: the capture is saved as it is
};

// Turns the configured size to the screen's orientation and decides whether
// the picture is reduced. Never enlarges: an axis where the target exceeds
// the screen keeps the screen's size. A size the scaler cannot take (below 1,
// or beyond its 16-bit sizes and pitches) leaves the picture unscaled.
PictureSize PlanPictureSize(int screenWidth, int screenHeight, int targetWidth, int targetHeight);
