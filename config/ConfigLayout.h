// Where the dialog's pages go, from the tab control's display rectangle.
#pragma once

#include <windows.h>

struct ConfigPageLayout {
    RECT aboutText;  // in the tab control's client area
    RECT tree;       // in the tab control's client area
    POINT icon;      // top left of the 32 x 32 icon, in the dialog's client area
};

// display: the tab control's client rectangle after TCM_ADJUSTRECT. The
// About text at (5, 40), (right - 10) x (bottom - 45); the tree at (5, 5),
// (right - 5) x (bottom - 5); the icon centred across the display at y 5.
// A display too small for them gives empty rectangles, never negative sizes.
ConfigPageLayout ComputeConfigLayout(const RECT& display);
