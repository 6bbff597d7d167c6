// Arbitrary bytes through the PNG decoder, in a heap block of exactly their
// size. Whatever decodes must survive our own PNG writer and read back to
// the same colours and alpha.
#include <cstdlib>
#include <vector>

#include <raster.h>
#include "fuzz_support.h"

namespace {

bool SamePicture(const RasterImage& a, const RasterImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() ||
        a.AlphaIsValid() != b.AlphaIsValid())
        return false;
    const long w = (long)a.GetWidth(), h = (long)a.GetHeight();
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
            if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue ||
                a.AlphaGet(x, y) != b.AlphaGet(x, y))
                return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzLimits();
    if (size > 0xFFFFFFFFu)
        return 0;
    std::vector<BYTE> file(data, data + size);
    RasterImage img;
    if (!img.Decode(file.empty() ? nullptr : file.data(), (DWORD)size, RASTER_FORMAT_PNG) || !img.IsValid())
        return 0;
    BYTE* out = nullptr;
    long n = 0;
    if (!img.Encode(out, n, RASTER_FORMAT_PNG))
        abort();
    RasterImage back;
    const bool again = back.Decode(out, (DWORD)n, RASTER_FORMAT_PNG);
    free(out);
    if (!again || !SamePicture(img, back))
        abort();
    return 0;
}
