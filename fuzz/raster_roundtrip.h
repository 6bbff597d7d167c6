// What the image codec fuzz targets share: decode arbitrary bytes with one
// codec, read what decoded, write it again with the same codec and check
// that the second decode gives the same picture.
#pragma once
#include <cstdlib>
#include <cstring>

#include <raster.h>
#include "fuzz_support.h"

// Pictures up to this many pixels are written back and compared, so that
// large claims do not slow the run down.
constexpr long long kFuzzRoundTripPixels = 1 << 14;

// Decodes `data` as `format`; a decoded picture must be readable and, when
// small and `compare` says the codec keeps it whole, survive a round trip.
inline void DecodeAndRoundTrip(const uint8_t* data, size_t size, DWORD format, bool compare)
{
    if (size > 0xFFFFFFFFu)
        return;
    const HeapCopy copy(data, size);
    RasterImage img;
    if (!img.Decode(copy.Data(), (DWORD)size, format))
        return;
    if (!img.IsValid())
        abort();  // success without pixels
    const long long w = img.GetWidth(), total = w * (long long)img.GetHeight();
    const long long step = total / 4096 + 1;
    unsigned sum = 0;
    for (long long i = 0; i < total; i += step)
        sum += img.GetPixelColor((long)(i % w), (long)(i / w), false).rgbGreen;
    volatile unsigned keep = sum;
    (void)keep;
    if (total > kFuzzRoundTripPixels)
        return;
    BYTE* out = nullptr;
    long n = 0;
    if (!img.Encode(out, n, format))
        return;
    RasterImage back;
    const bool ok = back.Decode(out, (DWORD)n, format);
    free(out);
    if (compare && (!ok || !SamePicture(img, back, false)))
        abort();
}
