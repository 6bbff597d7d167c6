// Pixels of a decoded metafile picture as 0x00RRGGBB, for the WMF and EMF
// codec's tests.
#pragma once
#include <raster.h>

#include <cstdint>

// A picture's pixel, y counted from the top.
inline uint32_t At(const RasterImage& img, long x, long yTop)
{
    const RGBQUAD q = img.GetPixelColor(x, (long)img.GetHeight() - 1 - yTop, false);
    return (uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue;
}

// The colour a metafile's picture starts from: the window colour.
inline uint32_t WindowColour()
{
    const COLORREF c = GetSysColor(COLOR_WINDOW);
    return (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
}
