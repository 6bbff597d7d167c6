// Arbitrary bytes through the format dispatch with id 0, so that every
// decoder that exists is tried in turn.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include <raster.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 0xFFFFFFFFu)
        return 0;
    // An exactly sized heap copy, so that any read past the data is caught.
    BYTE* copy = static_cast<BYTE*>(malloc(size == 0 ? 1 : size));
    if (size != 0)
        memcpy(copy, data, size);

    RasterImage img;
    if (img.Decode(copy, (DWORD)size, RASTER_FORMAT_UNKNOWN) && img.IsValid()) {
        // What was decoded must be usable: read its pixels (the first 64K, to
        // keep the run fast), write it out again.
        unsigned sum = 0;
        long w = (long)img.GetWidth(), h = (long)img.GetHeight();
        for (long i = 0; i < w * h && i < 65536; i++)
            sum += img.GetPixelColor(i % w, i / w).rgbGreen;
        (void)sum;
        BYTE* out = nullptr;
        long n = 0;
        if (img.Encode(out, n, RASTER_FORMAT_BMP))
            free(out);
    }

    RasterImage sizeOnly;
    sizeOnly.SetEscape(-1);
    sizeOnly.Decode(copy, (DWORD)size, RASTER_FORMAT_UNKNOWN);

    free(copy);
    return 0;
}
