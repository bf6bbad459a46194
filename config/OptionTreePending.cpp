// TEMPORARY: stands in for the options tree until its branch is merged.
#include "optiontree/OptionTree.h"

__attribute__((weak)) bool RegisterOptionTreeClass() { return false; }
__attribute__((weak)) OptionTreeState* OptionTreeStateOf(HWND) { return nullptr; }
__attribute__((weak)) void CommitEdit(OptionTreeState*) {}
__attribute__((weak)) void EnableNavKeys(HWND control)
{
    RegisterHotKey(control, NavKeyUpId, 0, VK_UP);
    RegisterHotKey(control, NavKeyDownId, 0, VK_DOWN);
}
__attribute__((weak)) void DisableNavKeys(HWND control)
{
    UnregisterHotKey(control, NavKeyUpId);
    UnregisterHotKey(control, NavKeyDownId);
}
