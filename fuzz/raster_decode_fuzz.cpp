// Arbitrary bytes through the format dispatch with id 0, so that every
// decoder that exists is tried in turn.
#include <raster.h>
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data, size);

    RasterImage img;
    if (img.Decode(copy.Data(), (DWORD)size, RASTER_FORMAT_UNKNOWN) && img.IsValid()) {
        // What was decoded must be usable: read its pixels (the first 1024, to
        // keep the run fast), write it out again.
        unsigned sum = 0;
        long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        for (long i = 0; i < w * h && i < 1024; i++)
            sum += img.GetPixelColor(i % w, i / w).rgbGreen;
        (void)sum;
        BYTE* out = nullptr;
        long n = 0;
        if (img.Encode(out, n, RASTER_FORMAT_BMP))
            free(out);
    }

    RasterImage sizeOnly;
    sizeOnly.SetEscape(-1);
    sizeOnly.Decode(copy.Data(), (DWORD)size, RASTER_FORMAT_UNKNOWN);
    return 0;
}
