#include "platform/AygShell.h"

// The handheld shell's extra controls are not used by this program; the
// common controls it needs are registered by InitCommonControls.
BOOL SHInitExtraControls()
{
    return TRUE;
}
