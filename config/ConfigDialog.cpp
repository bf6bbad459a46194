#include "config/ConfigDialog.h"

// Placeholder until the configuration dialog lands.
int RunConfigDialog()
{
    return IDCANCEL;
}
