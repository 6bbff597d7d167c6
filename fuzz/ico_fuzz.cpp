// Arbitrary bytes through the image library's ICO decoder: the first byte
// picks the image of the file (its low two bits), the rest is the file.
// What decodes is read and written again (the mask turns pixels into a
// transparent index or colour, so the second decode is not compared).
#include "raster_roundtrip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0 || size > 0xFFFFFFFFu)
        return 0;
    const HeapCopy copy(data + 1, size - 1);
    RasterImage img;
    img.SetFrame(data[0] & 3);
    if (!img.Decode(copy.Data(), (DWORD)(size - 1), RASTER_FORMAT_ICO))
        return 0;
    if (!img.IsValid())
        abort();
    const long long w = img.GetWidth(), total = w * (long long)img.GetHeight();
    unsigned sum = 0;
    for (long long i = 0; i < total; i += total / 4096 + 1)
        sum += img.GetPixelColor((long)(i % w), (long)(i / w), false).rgbGreen;
    volatile unsigned keep = sum;
    (void)keep;
    BYTE* out = nullptr;
    long n = 0;
    if (img.Encode(out, n, RASTER_FORMAT_ICO)) {
        RasterImage back;
        if (!back.Decode(out, (DWORD)n, RASTER_FORMAT_ICO))
            abort();  // what we write we read
        free(out);
    }
    return 0;
}
