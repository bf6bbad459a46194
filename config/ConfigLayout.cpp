#include "config/ConfigLayout.h"

namespace {

const int ProgramIconSize = 32;

RECT BoxAt(int x, int y, int width, int height)
{
    RECT box = {x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)};
    return box;
}

}  // namespace

ConfigPageLayout ComputeConfigLayout(const RECT& display)
{
    ConfigPageLayout layout;
    layout.aboutText = BoxAt(5, 40, display.right - 10, display.bottom - 45);
    layout.tree = BoxAt(5, 5, display.right - 5, display.bottom - 5);
    layout.icon.x = (display.right - display.left - ProgramIconSize) / 2;
    layout.icon.y = 5;
    return layout;
}
