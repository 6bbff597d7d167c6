// Colour and depth conversions: every pixel against the conversion's formula
// computed here from the source pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "test_raster.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

BYTE Grey(RGBQUAD c)
{
    return (BYTE)((c.rgbBlue * 117u + c.rgbGreen * 601u + c.rgbRed * 306u) >> 10);
}

// The lowest index among the first n entries at the least squared distance.
BYTE NearestOf(const std::vector<RGBQUAD>& pal, RGBQUAD c, size_t n = 0)
{
    n = n == 0 ? pal.size() : n;
    long best = 1L << 30;
    BYTE index = 0;
    for (size_t i = 0; i < n; i++) {
        const long d = (pal[i].rgbRed - c.rgbRed) * (pal[i].rgbRed - c.rgbRed) +
                       (pal[i].rgbGreen - c.rgbGreen) * (pal[i].rgbGreen - c.rgbGreen) +
                       (pal[i].rgbBlue - c.rgbBlue) * (pal[i].rgbBlue - c.rgbBlue);
        if (d < best) {
            best = d;
            index = (BYTE)i;
        }
    }
    return index;
}

std::vector<RGBQUAD> PaletteOf(const RasterImage& img)
{
    std::vector<RGBQUAD> pal;
    for (DWORD i = 0; i < img.GetNumColors(); i++)
        pal.push_back(img.GetPaletteColor((BYTE)i));
    return pal;
}

TEST(RasterColour, GreyWeightsOfTrueColour)
{
    const struct {
        RGBQUAD c;
        BYTE grey;
    } cases[] = {{Quad(255, 0, 0), 76},
                 {Quad(0, 255, 0), 149},
                 {Quad(0, 0, 255), 29},
                 {Quad(255, 255, 255), 255}};
    for (const auto& c : cases) {
        RasterImage img(1, 1, 24, 0);
        img.SetPixelColor(0, 0, c.c, false);
        ASSERT_TRUE(img.GrayScale());
        EXPECT_EQ(c.grey, img.GetPixelIndex(0, 0));
    }
    auto src = RandomImage(13, 7, 24, 1, true);
    src->SelectionCreate();
    src->SelectionAddPixel(4, 4);
    RasterImage grey(*src);
    ASSERT_TRUE(grey.GrayScale());
    EXPECT_EQ(8, grey.GetBpp());
    EXPECT_TRUE(grey.IsGrayScale());
    EXPECT_TRUE(SamePixels(grey, 13, 7,
                           [&](long x, long y) { return Grey(src->GetPixelColor(x, y, false)); }));
    EXPECT_TRUE(SameAlpha(grey, [&](long x, long y) { return src->AlphaGet(x, y); }));
    EXPECT_TRUE(grey.SelectionIsInside(4, 4));
    EXPECT_FALSE(grey.SelectionIsInside(5, 4));
}

TEST(RasterColour, GreyOfPaletteImagesKeepsTheTransparentPixels)
{
    for (int bpp : {1, 4, 8}) {
        SCOPED_TRACE(bpp);
        auto src = RandomImage(11, 6, bpp, (unsigned)bpp, true);
        src->SetTransIndex(1);
        RasterImage grey(*src);
        ASSERT_TRUE(grey.GrayScale());
        EXPECT_EQ(8, grey.GetBpp());
        EXPECT_TRUE(grey.IsGrayScale());
        EXPECT_EQ(Grey(src->GetPaletteColor(1)), grey.GetTransIndex());
        EXPECT_TRUE(SamePixels(
            grey, 11, 6, [&](long x, long y) { return Grey(src->GetPixelColor(x, y, false)); }));
        EXPECT_TRUE(SameAlpha(grey, [&](long x, long y) { return src->AlphaGet(x, y); }));
        for (long y = 0; y < 6; y++) {
            for (long x = 0; x < 11; x++) {
                if (src->GetPixelIndex(x, y) == 1) {
                    EXPECT_EQ(grey.GetTransIndex(), grey.GetPixelIndex(x, y));
                }
            }
        }
    }
}

TEST(RasterColour, NegativeOfTrueColour)
{
    auto src = RandomImage(5, 3, 24, 2);  // rows of 15 bytes and one filler byte
    src->SetTransColor(Quad(10, 20, 30));
    RasterImage neg(*src);
    ASSERT_TRUE(neg.Negative());
    for (long y = 0; y < 3; y++)
        for (DWORD i = 0; i < src->GetEffWidth(); i++)
            EXPECT_EQ((BYTE)~src->GetBits(y)[i], neg.GetBits(y)[i]);
    EXPECT_EQ(245, neg.GetTransColor().rgbRed);
    EXPECT_EQ(225, neg.GetTransColor().rgbBlue);

    RasterImage part(*src);
    RECT r = {1, 0, 3, 2};
    part.SelectionAddRect(r);
    ASSERT_TRUE(part.Negative());
    EXPECT_TRUE(SamePixels(part, 5, 3, [&](long x, long y) {
        const uint32_t v = Sample(*src, x, y);
        return x >= 1 && x < 3 && y < 2 ? v ^ 0xFFFFFFu : v;
    }));
}

TEST(RasterColour, NegativeOfPaletteImages)
{
    // A grey ramp inverts the selected pixels' indices.
    auto grey = RandomImage(9, 4, 8, 3);
    grey->SetGrayPalette();
    RasterImage before(*grey);
    RECT r = {2, 1, 6, 3};
    grey->SelectionAddRect(r);
    ASSERT_TRUE(grey->Negative());
    EXPECT_TRUE(SamePixels(*grey, 9, 4, [&](long x, long y) {
        const uint32_t v = Sample(before, x, y);
        return x >= 2 && x < 6 && y >= 1 && y < 3 ? 255 - v : v;
    }));
    // A coloured palette inverts its entries and ignores the selection.
    auto colour = RandomImage(9, 4, 4, 4);
    RasterImage original(*colour);
    colour->SelectionAddRect(r);
    ASSERT_TRUE(colour->Negative());
    EXPECT_TRUE(SamePixels(*colour, 9, 4, [&](long x, long y) { return Sample(original, x, y); }));
    for (BYTE i = 0; i < 16; i++) {
        EXPECT_EQ(255 - original.GetPaletteColor(i).rgbGreen, colour->GetPaletteColor(i).rgbGreen);
        EXPECT_EQ(original.GetPaletteColor(i).rgbReserved, colour->GetPaletteColor(i).rgbReserved);
    }
}

TEST(RasterColour, DecreaseWithoutDiffusionPicksTheNearestEntry)
{
    std::vector<RGBQUAD> given(256);
    // The upper half repeats the lower one: ties go to the lower index.
    for (int i = 0; i < 256; i++)
        given[i] = Quad((BYTE)(i % 128 * 37), (BYTE)(i % 128 * 91), (BYTE)(i % 128 * 13));
    const struct {
        int from, bits;
        bool palette;
        DWORD important;
    } cases[] = {{24, 8, false, 0}, {24, 4, false, 0}, {24, 1, false, 0},
                 {24, 8, true, 0},  {24, 8, true, 10}, {8, 4, false, 0},
                 {8, 1, true, 0},   {4, 1, false, 0},  {8, 8, true, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.bits));
        auto src = RandomImage(17, 9, c.from, (unsigned)(c.from + c.bits), true);
        src->SelectionCreate();
        src->SelectionAddPixel(3, 3);
        RasterImage out(*src);
        ASSERT_TRUE(out.DecreaseBpp(c.bits, false, c.palette ? given.data() : NULL, c.important));
        EXPECT_EQ(c.bits, out.GetBpp());
        const std::vector<RGBQUAD> pal = PaletteOf(out);
        if (c.palette) {
            EXPECT_EQ(0, memcmp(pal.data(), given.data(), pal.size() * sizeof(RGBQUAD)));
        }
        EXPECT_TRUE(SamePixels(out, 17, 9, [&](long x, long y) {
            return NearestOf(pal, src->GetPixelColor(x, y, false), c.important);
        }));
        EXPECT_TRUE(SameAlpha(out, [&](long x, long y) { return src->AlphaGet(x, y); }));
        EXPECT_TRUE(out.SelectionIsInside(3, 3));
        EXPECT_FALSE(out.SelectionIsInside(4, 3));
    }
}

TEST(RasterColour, DecreaseRules)
{
    auto img = RandomImage(4, 4, 8, 1);
    RasterImage before(*img);
    EXPECT_TRUE(img->DecreaseBpp(8, false));  // same depth, no important count: unchanged
    EXPECT_TRUE(SamePixels(*img, 4, 4, [&](long x, long y) { return Sample(before, x, y); }));
    EXPECT_TRUE(SamePalette(*img, before));
    EXPECT_FALSE(img->DecreaseBpp(24, false));
    EXPECT_FALSE(img->DecreaseBpp(2, false));
    auto low = RandomImage(4, 4, 4, 1);
    EXPECT_FALSE(low->DecreaseBpp(8, false));
}

TEST(RasterColour, DecreaseDoesNotReuseTheSourcesColourCache)
{
    RasterImage src(2, 1, 8, 0);
    src.SetPaletteColor(200, 10, 200, 30);
    src.SetPixelIndex(0, 0, 200);
    src.SetPixelIndex(1, 0, 200);
    ASSERT_EQ(200, src.GetNearestIndex(Quad(10, 200, 30)));  // remembered by the source
    ASSERT_TRUE(src.DecreaseBpp(4, false));
    std::vector<RGBQUAD> pal = PaletteOf(src);
    EXPECT_EQ(NearestOf(pal, Quad(10, 200, 30)), src.GetPixelIndex(0, 0));
    EXPECT_EQ(NearestOf(pal, Quad(10, 200, 30)), src.GetPixelIndex(1, 0));
}

TEST(RasterColour, DecreaseWithErrorDiffusion)
{
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        auto src = RandomImage(19, 11, 24, (unsigned)bits + 7);
        // The diffusion written out on a copy of the colours.
        std::vector<int> c((size_t)19 * 11 * 3);
        for (long y = 0; y < 11; y++)
            for (long x = 0; x < 19; x++) {
                const RGBQUAD q = src->GetPixelColor(x, y, false);
                c[(y * 19 + x) * 3] = q.rgbRed;
                c[(y * 19 + x) * 3 + 1] = q.rgbGreen;
                c[(y * 19 + x) * 3 + 2] = q.rgbBlue;
            }
        RasterImage out(*src);
        ASSERT_TRUE(out.DecreaseBpp(bits, true));
        const std::vector<RGBQUAD> pal = PaletteOf(out);
        std::vector<BYTE> want((size_t)19 * 11);
        for (long y = 0; y < 11; y++)
            for (long x = 0; x < 19; x++) {
                int* p = &c[(y * 19 + x) * 3];
                const BYTE i = NearestOf(pal, Quad((BYTE)p[0], (BYTE)p[1], (BYTE)p[2]));
                want[y * 19 + x] = i;
                const int e[3] = {p[0] - pal[i].rgbRed, p[1] - pal[i].rgbGreen,
                                  p[2] - pal[i].rgbBlue};
                const int spread[4][3] = {{1, 0, 7}, {-1, 1, 2}, {0, 1, 4}, {1, 1, 1}};
                for (const auto& s : spread) {
                    const long nx = x + s[0], ny = y + s[1];
                    if (nx < 0 || nx >= 19 || ny >= 11)
                        continue;
                    for (int ch = 0; ch < 3; ch++) {
                        int& v = c[(ny * 19 + nx) * 3 + ch];
                        v = std::min(255, std::max(0, v + e[ch] * s[2] / 16));
                    }
                }
            }
        EXPECT_TRUE(SamePixels(out, 19, 11, [&](long x, long y) { return want[y * 19 + x]; }));
    }
}

TEST(RasterColour, IncreaseToEveryDepth)
{
    const struct {
        int from, to;
    } cases[] = {{1, 4}, {1, 8}, {4, 8}, {1, 24}, {4, 24}, {8, 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " to " + std::to_string(c.to));
        auto src = RandomImage(13, 5, c.from, (unsigned)(c.from * 10 + c.to));
        src->SetTransIndex(1);
        RasterImage out(*src);
        ASSERT_TRUE(out.IncreaseBpp(c.to));
        EXPECT_EQ(c.to, out.GetBpp());
        if (c.to < 24) {
            EXPECT_TRUE(SamePixels(out, 13, 5, [&](long x, long y) { return Sample(*src, x, y); }));
            for (DWORD i = 0; i < src->GetNumColors(); i++)
                EXPECT_EQ(src->GetPaletteColor((BYTE)i).rgbRed,
                          out.GetPaletteColor((BYTE)i).rgbRed);
        } else {
            EXPECT_TRUE(SamePixels(out, 13, 5, [&](long x, long y) {
                const RGBQUAD q = src->GetPixelColor(x, y, false);
                return (uint32_t)q.rgbBlue | (uint32_t)q.rgbGreen << 8 | (uint32_t)q.rgbRed << 16;
            }));
            // The random palette carries alpha: it becomes the alpha plane.
            EXPECT_TRUE(SameAlpha(
                out, [&](long x, long y) { return src->GetPixelColor(x, y, false).rgbReserved; }));
            EXPECT_EQ(src->GetPaletteColor(1).rgbGreen, out.GetTransColor().rgbGreen);
        }
    }
    auto img = RandomImage(3, 3, 8, 1);
    EXPECT_TRUE(img->IncreaseBpp(8));
    EXPECT_FALSE(img->IncreaseBpp(4));
    EXPECT_FALSE(img->IncreaseBpp(16));
}

TEST(RasterColour, OrderedDither)
{
    static const int matrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    auto src = RandomImage(21, 13, 24, 9);
    RasterImage grey(*src);
    ASSERT_TRUE(grey.GrayScale());
    RasterImage out(*src);
    ASSERT_TRUE(out.Dither(1));
    EXPECT_EQ(1, out.GetBpp());
    EXPECT_EQ(255, out.GetPaletteColor(1).rgbRed);
    EXPECT_EQ(0, out.GetPaletteColor(0).rgbRed);
    EXPECT_TRUE(SamePixels(out, 21, 13, [&](long x, long y) {
        const int level = grey.GetPixelIndex(x, y) * 16 / 255;
        return (uint32_t)(matrix[y % 4][x % 4] >= level % 16 ? level / 16 : level / 16 + 1);
    }));
    // A flat 128: level 8, so the matrix values of 8 and above give black.
    RasterImage flat(8, 8, 8, 0);
    flat.SetGrayPalette();
    flat.Clear(128);
    ASSERT_TRUE(flat.Dither(1));
    EXPECT_TRUE(SamePixels(flat, 8, 8,
                           [&](long x, long y) { return matrix[y % 4][x % 4] >= 8 ? 0u : 1u; }));
}

TEST(RasterColour, ErrorDiffusionDither)
{
    auto src = RandomImage(23, 15, 8, 11);
    RasterImage grey(*src);
    ASSERT_TRUE(grey.GrayScale());
    std::vector<int> g((size_t)23 * 15);
    for (long y = 0; y < 15; y++)
        for (long x = 0; x < 23; x++)
            g[y * 23 + x] = grey.GetPixelIndex(x, y);
    std::vector<uint32_t> want(g.size());
    for (long y = 0; y < 15; y++)
        for (long x = 0; x < 23; x++) {
            const int v = g[y * 23 + x];
            want[y * 23 + x] = v > 128;
            const int e = v > 128 ? v - 255 : v;
            const int spread[4][3] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
            for (const auto& s : spread) {
                const long nx = x + s[0], ny = y + s[1];
                if (nx >= 0 && nx < 23 && ny < 15)
                    g[ny * 23 + nx] = std::min(255, std::max(0, g[ny * 23 + nx] + e * s[2] / 16));
            }
        }
    ASSERT_TRUE(src->Dither(0));
    EXPECT_TRUE(SamePixels(*src, 23, 15, [&](long x, long y) { return want[y * 23 + x]; }));

    RasterImage flat(4, 1, 8, 0);
    flat.SetGrayPalette();
    flat.Clear(128);
    ASSERT_TRUE(flat.Dither(0));
    EXPECT_EQ(0, flat.GetPixelIndex(0, 0));  // 128 is not above 128
    auto bw = RandomImage(5, 5, 1, 3);
    RasterImage before(*bw);
    EXPECT_TRUE(bw->Dither(0));
    EXPECT_TRUE(SamePalette(*bw, before));
}

TEST(RasterColour, EscapeHandsOverTheConvertedRows)
{
    auto src = RandomImage(6, 6, 4, 12);
    src->SetEscape(1);
    ASSERT_TRUE(src->IncreaseBpp(8));
    EXPECT_EQ(8, src->GetBpp());
    EXPECT_TRUE(SamePixels(*src, 6, 6, [](long, long) { return 0u; }));
    auto img = RandomImage(6, 6, 24, 12);
    img->SetEscape(1);
    ASSERT_TRUE(img->DecreaseBpp(8, true));
    EXPECT_EQ(8, img->GetBpp());
}

}  // namespace
