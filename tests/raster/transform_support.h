// Pictures for the transformation tests: random pixels, palettes and planes
// of every depth, and comparisons of every pixel against a reference that
// the test computes from the source with the plain pixel calls.
#pragma once
#include <gtest/gtest.h>

#include <rasterimage.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <random>

namespace transform_test {

inline std::unique_ptr<RasterImage> RandomImage(long w, long h, int bpp, unsigned seed,
                                                bool alpha = false)
{
    std::unique_ptr<RasterImage> img(new RasterImage((DWORD)w, (DWORD)h, (DWORD)bpp, 0));
    std::mt19937 rng(seed);
    for (DWORD i = 0; i < img->GetNumColors(); i++)
        img->SetPaletteColor((BYTE)i, (BYTE)rng(), (BYTE)rng(), (BYTE)rng(), (BYTE)rng());
    for (long y = 0; y < h; y++) {
        BYTE* row = img->GetBits((DWORD)y);
        for (DWORD i = 0; i < img->GetEffWidth(); i++)
            row[i] = (BYTE)rng();
    }
    if (alpha) {
        img->AlphaCreate();
        for (long y = 0; y < h; y++)
            for (long x = 0; x < w; x++)
                img->AlphaSet(x, y, (BYTE)rng());
    }
    return img;
}

// The value a transformation moves: the index of palette pixels, else the
// colour (blue, green, red). Outside a palette image a transformation takes
// the transparent index, else the first byte of the pixel block, of which a
// 1- or 4-bit pixel keeps its low bits.
inline uint32_t Sample(const RasterImage& img, long x, long y)
{
    if (img.IsIndexed() && !img.IsInside(x, y) && img.GetTransIndex() == -1)
        return img.GetBits(0)[0] & ((1u << img.GetBpp()) - 1);
    if (img.IsIndexed())
        return img.GetPixelIndex(x, y);
    RGBQUAD c = img.GetPixelColor(x, y, false);
    return (uint32_t)c.rgbBlue | ((uint32_t)c.rgbGreen << 8) | ((uint32_t)c.rgbRed << 16);
}

// Every pixel of img against expect(x, y); stops at the first few mismatches.
inline ::testing::AssertionResult SamePixels(const RasterImage& img, long w, long h,
                                             const std::function<uint32_t(long, long)>& expect)
{
    if ((long)img.GetWidth() != w || (long)img.GetHeight() != h)
        return ::testing::AssertionFailure() << "size " << img.GetWidth() << "x" << img.GetHeight()
                                             << ", expected " << w << "x" << h;
    int bad = 0;
    ::testing::AssertionResult r = ::testing::AssertionFailure();
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            const uint32_t got = Sample(img, x, y), want = expect(x, y);
            if (got != want && bad++ < 5)
                r << "(" << x << "," << y << ") got " << std::hex << got << " want " << want
                  << std::dec << "; ";
        }
    if (bad == 0)
        return ::testing::AssertionSuccess();
    return r << bad << " pixels differ";
}

// The same for the alpha plane.
inline ::testing::AssertionResult SameAlpha(const RasterImage& img,
                                            const std::function<BYTE(long, long)>& expect)
{
    if (!img.AlphaIsValid())
        return ::testing::AssertionFailure() << "no alpha plane";
    int bad = 0;
    for (long y = 0; y < (long)img.GetHeight(); y++)
        for (long x = 0; x < (long)img.GetWidth(); x++)
            bad += img.AlphaGet(x, y) != expect(x, y);
    if (bad == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << bad << " alpha values differ";
}

inline bool SamePalette(const RasterImage& a, const RasterImage& b)
{
    if (a.GetNumColors() != b.GetNumColors())
        return false;
    for (DWORD i = 0; i < a.GetNumColors(); i++) {
        RGBQUAD p = a.GetPaletteColor((BYTE)i), q = b.GetPaletteColor((BYTE)i);
        if (p.rgbRed != q.rgbRed || p.rgbGreen != q.rgbGreen || p.rgbBlue != q.rgbBlue)
            return false;
    }
    return true;
}

}  // namespace transform_test
