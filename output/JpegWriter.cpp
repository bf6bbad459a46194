#include "output/JpegWriter.h"

// Placeholder until the JPEG writer lands.
int WriteJpegFile(const WCHAR*, int, const DibImage&)
{
    return 0;
}
