#include "config/ConfigLayout.h"

namespace {

RECT BoxAt(int x, int y, int width, int height)
{
    RECT box = {x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
    return box;
}

}  // namespace

ConfigPageLayout ComputeConfigLayout(const RECT& display, SIZE icon)
{
    const int iconTop = 5;
    const int textTop = iconTop + icon.cy + 3;
    ConfigPageLayout layout;
    layout.aboutText = BoxAt(5, textTop, display.right - 10, display.bottom - textTop - 5);
    layout.tree = BoxAt(5, 5, display.right - 5, display.bottom - 5);
    layout.icon.x = (display.right - display.left - icon.cx) / 2;
    layout.icon.y = iconTop;
    return layout;
}
