// Where the dialog's pages go, from the tab control's display rectangle.
#pragma once

#include <windows.h>

struct ConfigPageLayout {
    RECT aboutText;  // in the tab control's client area
    RECT tree;       // in the tab control's client area
    POINT icon;      // top left of the program icon, in the dialog's client area
};

// display: the tab control's client rectangle after TCM_ADJUSTRECT; icon:
// the program icon's size, which is the system's icon size (32 pixels at
// 96 dpi, 64 at 192), so it is measured, not assumed. The icon centred
// across the display at y 5; the About text 3 pixels below it, at (5, 40)
// for a 32-pixel icon, (right - 10) wide and reaching to 5 pixels above
// the bottom; the tree at (5, 5), (right - 5) x (bottom - 5). A display too
// small for them gives empty rectangles, never negative sizes.
ConfigPageLayout ComputeConfigLayout(const RECT& display, SIZE icon);
