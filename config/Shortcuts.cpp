#include "config/Shortcuts.h"

// Placeholder until shortcut creation lands: the main shortcut counts as
// present, so every start without "-config" captures.
bool CreateShortcuts(bool)
{
    return false;
}
