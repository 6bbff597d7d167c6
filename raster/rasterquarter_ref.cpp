// The quarter turns pixel by pixel through the pixel calls: the plain form
// of the blocked transposition, kept to test it against.
#include "rasterquarter.h"

namespace {

// dst(x, y) takes src(sx, sy): the index for palette images, else the colour.
inline void CopySample(RasterImage& dst, long x, long y, const RasterImage& src, long sx, long sy)
{
    if (src.IsIndexed())
        dst.SetPixelIndex(x, y, src.GetPixelIndex(sx, sy));
    else
        dst.SetPixelColor(x, y, src.GetPixelColor(sx, sy, true), false);
}

}  // namespace

namespace rasterquarter {

// The loop runs in the order it always has (left: one destination column at
// a time; right: one destination row at a time), so progress reports match.
void TurnReference(RasterImage& src, RasterImage& dst, bool left, Progress progress)
{
    const long newWidth = (long)src.GetHeight(), newHeight = (long)src.GetWidth();
    if (left) {
        for (long x = 0; x < newWidth; x++) {
            progress(src, x, newWidth);
            for (long y = 0; y < newHeight; y++)
                CopySample(dst, x, y, src, y, newWidth - 1 - x);
        }
    } else {
        for (long y = 0; y < newHeight; y++) {
            progress(src, y, newHeight);
            for (long x = 0; x < newWidth; x++)
                CopySample(dst, x, y, src, newHeight - 1 - y, x);
        }
    }
    if (src.AlphaIsValid() && dst.AlphaIsValid()) {
        for (long y = 0; y < newHeight; y++)
            for (long x = 0; x < newWidth; x++)
                dst.AlphaSet(x, y,
                             left ? src.AlphaGet(y, newWidth - 1 - x)
                                  : src.AlphaGet(newHeight - 1 - y, x));
    }
}

}  // namespace rasterquarter
