#include "output/Scaler.h"

// Placeholder until the scaler lands: reports that nothing was reduced, so
// the capture is saved as it is.
bool ScaleImage(const DibImage&, DibImage&)
{
    return false;
}
