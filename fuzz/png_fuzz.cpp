// Arbitrary bytes through the PNG decoder, in a heap block of exactly their
// size. Whatever decodes must survive our own PNG writer and read back to
// the same colours and alpha.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data, size);
    RasterImage img;
    if (img.Decode(copy.Data(), (DWORD)size, RASTER_FORMAT_PNG) && img.IsValid())
        RoundTripLossless(img, RASTER_FORMAT_PNG);
    return 0;
}
