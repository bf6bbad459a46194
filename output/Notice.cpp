#include "output/Notice.h"

// Placeholder until the notice lands.
bool ShowCompletionNotice()
{
    return false;
}
