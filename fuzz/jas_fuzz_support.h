// What the JPEG-2000 family targets share: arbitrary bytes through one
// family decoder; whatever decodes is written again in the same format
// (losslessly) and must read back to the same pixels.
#pragma once
#include <cstdlib>
#include <vector>

#include <raster.h>

inline bool JasSamePicture(const RasterImage& a, const RasterImage& b)
{
    if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
        return false;
    const long w = (long)a.GetWidth(), h = (long)a.GetHeight();
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            RGBQUAD p = a.GetPixelColor(x, y, false), q = b.GetPixelColor(x, y, false);
            if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue)
                return false;
        }
    return true;
}

inline int JasFuzzOne(const uint8_t* data, size_t size, DWORD type)
{
    if (size > 1u << 16)
        return 0;
    std::vector<BYTE> file(data, data + size);
    RasterImage img;
    if (!img.Decode(file.empty() ? nullptr : file.data(), (DWORD)size, type) || !img.IsValid())
        return 0;
#ifndef KESTREL_FUZZ_LIMITS
    // With the real allowance a large flat picture decodes from a few bytes,
    // and its copy, as few bytes again, may rightly be refused: only small
    // pictures are written again.
    if ((unsigned long long)img.GetWidth() * img.GetHeight() > (1u << 14))
        return 0;
#endif
    img.SetJpegQuality(100);
    BYTE* out = nullptr;
    long n = 0;
    // PGX holds grey only; a colour picture is refused with a text.
    if (!img.Encode(out, n, img.GetType()))
        return type == RASTER_FORMAT_PGX && !img.IsIndexed() ? 0 : (abort(), 0);
    RasterImage back;
    const bool again = back.Decode(out, (DWORD)n, img.GetType());
    free(out);
    if (!again || !JasSamePicture(img, back))
        abort();
    return 0;
}
