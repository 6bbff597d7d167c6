// Resizing in each mode: every pixel against the mode's formula computed here
// in single precision from the source pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "test_raster.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

// The lowest palette index at the least squared distance.
BYTE Nearest(const RasterImage& img, RGBQUAD c)
{
    long best = 1L << 30;
    BYTE index = 0;
    for (DWORD i = 0; i < img.GetNumColors(); i++) {
        const RGBQUAD p = img.GetPaletteColor((BYTE)i);
        const long d = (p.rgbRed - c.rgbRed) * (p.rgbRed - c.rgbRed) +
                       (p.rgbGreen - c.rgbGreen) * (p.rgbGreen - c.rgbGreen) +
                       (p.rgbBlue - c.rgbBlue) * (p.rgbBlue - c.rgbBlue);
        if (d < best) {
            best = d;
            index = (BYTE)i;
        }
    }
    return index;
}

// What a colour becomes when stored in an image like src.
uint32_t Stored(const RasterImage& src, BYTE r, BYTE g, BYTE b)
{
    if (src.IsIndexed())
        return Nearest(src, Quad(r, g, b));
    return (uint32_t)b | ((uint32_t)g << 8) | ((uint32_t)r << 16);
}

float Spline(float x)
{
    auto p = [](float t) { return t > 0.0f ? t * t * t : 0.0f; };
    return (p(x + 2.0f) - 4.0f * p(x + 1.0f) + 6.0f * p(x) - 4.0f * p(x - 1.0f)) * 0.16666667f;
}

TEST(RasterResample, SplineWeights)
{
    for (float x : {-2.5f, -2.0f, -1.3f, -1.0f, -0.5f, 0.0f, 0.25f, 1.0f, 1.75f, 2.0f, 3.0f})
        EXPECT_EQ(Spline(x), RasterImage::b3spline(x)) << x;
    EXPECT_FLOAT_EQ(4.0f / 6.0f, RasterImage::b3spline(0.0f));
}

struct Size {
    long w, h;
};
const Size kSizes[] = {{37, 23}, {11, 40}, {64, 64}, {5, 3}};

TEST(RasterResample, NearestNeighbour)
{
    for (int bpp : {4, 8, 24}) {
        for (const Size& to : kSizes) {
            SCOPED_TRACE(std::to_string(bpp) + " " + std::to_string(to.w) + "x" +
                         std::to_string(to.h));
            auto src = RandomImage(29, 17, bpp, (unsigned)(bpp + to.w), true);
            RasterImage out;
            ASSERT_TRUE(src->Resample(to.w, to.h, 1, &out));
            const float kx = (float)29 / to.w, ky = (float)17 / to.h;
            auto at = [&](long x, long y, long& sx, long& sy) {
                sx = (long)((float)x * kx);
                sy = (long)((float)y * ky);
            };
            EXPECT_TRUE(SamePixels(out, to.w, to.h, [&](long x, long y) {
                long sx, sy;
                at(x, y, sx, sy);
                const RGBQUAD c = src->GetPixelColor(sx, sy, true);
                return Stored(*src, c.rgbRed, c.rgbGreen, c.rgbBlue);
            }));
            EXPECT_TRUE(SameAlpha(out, [&](long x, long y) {
                long sx, sy;
                at(x, y, sx, sy);
                return src->AlphaGet(sx, sy);
            }));
        }
    }
}

TEST(RasterResample, Bicubic)
{
    // Rows of 29 pixels end in a filler byte, rows of 32 do not.
    for (int bpp : {8, 24}) {
        for (const Size& to : kSizes) {
            for (long sw : {29L, 32L}) {
                SCOPED_TRACE(std::to_string(bpp) + " " + std::to_string(to.w) + "x" +
                             std::to_string(to.h) + " from " + std::to_string(sw));
                auto src = RandomImage(sw, 17, bpp, (unsigned)(bpp + to.h), false);
                RasterImage out;
                ASSERT_TRUE(src->Resample(to.w, to.h, 2, &out));
                const float kx = (float)sw / to.w, ky = (float)17 / to.h;
                EXPECT_TRUE(SamePixels(out, to.w, to.h, [&](long x, long y) {
                    const float fy = (float)(y * ky - 0.5), fx = (float)(x * kx - 0.5);
                    const int iy = (int)floorf(fy), ix = (int)floorf(fx);
                    const float ay = fy - floorf(fy), ax = fx - floorf(fx);
                    float sr = 0, sg = 0, sb = 0;
                    for (int m = -1; m <= 2; m++) {
                        const float w1 = Spline(m - ay);
                        const long yy = std::min(std::max(iy + m, 0), 16);
                        for (int n = -1; n <= 2; n++) {
                            const float w = w1 * Spline(ax - n);
                            const long xx = std::min(std::max(ix + n, 0), (int)sw - 1);
                            const RGBQUAD c = src->GetPixelColor(xx, yy, true);
                            sr += c.rgbRed * w;
                            sg += c.rgbGreen * w;
                            sb += c.rgbBlue * w;
                        }
                    }
                    return Stored(*src, (BYTE)(long)sr, (BYTE)(long)sg, (BYTE)(long)sb);
                }));
            }
        }
    }
}

TEST(RasterResample, Bilinear)
{
    // Mode 0 interpolates unless a 24-bit image shrinks both ways.
    const struct {
        int bpp;
        Size to;
    } cases[] = {{24, {60, 40}}, {24, {20, 40}}, {24, {60, 10}},
                 {8, {13, 9}},   {8, {70, 30}},  {4, {31, 19}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.bpp) + " " + std::to_string(c.to.w) + "x" +
                     std::to_string(c.to.h));
        auto src = RandomImage(29, 17, c.bpp, (unsigned)(c.bpp * 3 + c.to.w), true);
        RasterImage out;
        ASSERT_TRUE(src->Resample(c.to.w, c.to.h, 0, &out));
        const float kx = (float)29 / c.to.w, ky = (float)17 / c.to.h;
        EXPECT_TRUE(SamePixels(out, c.to.w, c.to.h, [&](long x, long y) {
            const float fY = (float)(y * ky), fX = (float)(x * kx);
            const int iY = (int)fY, iX = (int)fX;
            const int iY1 = std::min(16, iY + 1), iX1 = std::min(28, iX + 1);
            const float dy = fY - iY, dx = fX - iX;
            const RGBQUAD c1 = src->GetPixelColor(iX, iY, false),
                          c2 = src->GetPixelColor(iX1, iY, false);
            const RGBQUAD c3 = src->GetPixelColor(iX, iY1, false),
                          c4 = src->GetPixelColor(iX1, iY1, false);
            auto mix = [&](BYTE a1, BYTE a2, BYTE a3, BYTE a4) {
                const float left = a1 * (1 - dy) + a3 * dy, right = a2 * (1 - dy) + a4 * dy;
                return (BYTE)(long)(left * (1 - dx) + right * dx);
            };
            return Stored(*src, mix(c1.rgbRed, c2.rgbRed, c3.rgbRed, c4.rgbRed),
                          mix(c1.rgbGreen, c2.rgbGreen, c3.rgbGreen, c4.rgbGreen),
                          mix(c1.rgbBlue, c2.rgbBlue, c3.rgbBlue, c4.rgbBlue));
        }));
        EXPECT_TRUE(SameAlpha(out, [&](long x, long y) {
            return src->AlphaGet((long)((float)x * kx), (long)((float)y * ky));
        }));
    }
}

// The mean of each block of whole source pixels, truncated.
uint32_t BlockMean(const RasterImage& src, long x0, long y0, long bw, long bh)
{
    uint64_t sum[3] = {0, 0, 0};
    for (long y = y0; y < y0 + bh; y++)
        for (long x = x0; x < x0 + bw; x++) {
            const RGBQUAD c = src.GetPixelColor(x, y, false);
            sum[0] += c.rgbBlue;
            sum[1] += c.rgbGreen;
            sum[2] += c.rgbRed;
        }
    const uint64_t n = (uint64_t)bw * bh;
    return (uint32_t)(sum[0] / n) | (uint32_t)(sum[1] / n) << 8 | (uint32_t)(sum[2] / n) << 16;
}

TEST(RasterResample, BoxAverageOfWholeBlocks)
{
    const struct {
        long w, h, nw, nh;
    } cases[] = {{100, 100, 50, 50}, {90, 60, 30, 20}, {64, 48, 16, 12}, {60, 90, 12, 9}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.nw) + "x" + std::to_string(c.nh));
        auto src = RandomImage(c.w, c.h, 24, (unsigned)c.nw);
        RasterImage out;
        ASSERT_TRUE(src->Resample(c.nw, c.nh, 0, &out));
        const long bw = c.w / c.nw, bh = c.h / c.nh;
        EXPECT_TRUE(SamePixels(out, c.nw, c.nh, [&](long x, long y) {
            return BlockMean(*src, x * bw, y * bh, bw, bh);
        }));
    }
}

TEST(RasterResample, FarShrinkDoesNotOverflow)
{
    // 10000 bright pixels to one: 2.55e9 in the sums, past 32 bits.
    for (long side : {100L, 120L}) {
        RasterImage src(side, side, 24, 0);
        for (long y = 0; y < side; y++)
            for (long x = 0; x < side; x++)
                src.SetPixelColor(x, y, Quad(250, (BYTE)(x + y), 255), false);
        RasterImage out;
        ASSERT_TRUE(src.Resample(1, 1, 0, &out));
        EXPECT_EQ(BlockMean(src, 0, 0, side, side), Sample(out, 0, 0));
    }
}

TEST(RasterResample, BoxAverageOfFractionalBlocksStaysNearTheAreaMean)
{
    auto src = RandomImage(97, 61, 24, 5);
    RasterImage out;
    ASSERT_TRUE(src->Resample(30, 20, 0, &out));
    const double kx = 97.0 / 30, ky = 61.0 / 20;
    int worst = 0;
    for (long y = 0; y < 20; y++)
        for (long x = 0; x < 30; x++)
            for (int ch = 0; ch < 3; ch++) {
                double sum = 0, area = 0;
                for (long sy = (long)(y * ky); sy < std::min(61L, (long)((y + 1) * ky) + 1); sy++)
                    for (long sx = (long)(x * kx); sx < std::min(97L, (long)((x + 1) * kx) + 1);
                         sx++) {
                        const double wx = std::max(0.0, std::min((double)sx + 1, (x + 1) * kx) -
                                                            std::max((double)sx, x * kx));
                        const double wy = std::max(0.0, std::min((double)sy + 1, (y + 1) * ky) -
                                                            std::max((double)sy, y * ky));
                        const RGBQUAD c = src->GetPixelColor(sx, sy, false);
                        sum += wx * wy * (&c.rgbBlue)[ch];
                        area += wx * wy;
                    }
                const RGBQUAD o = out.GetPixelColor(x, y, false);
                worst = std::max(worst, std::abs((&o.rgbBlue)[ch] - (int)(sum / area)));
            }
    EXPECT_LE(worst, 3);
}

TEST(RasterResample, SameSizeCopiesIntoATargetOnly)
{
    auto src = RandomImage(8, 6, 24, 1, true);
    src->SelectionCreate();
    src->SelectionAddPixel(2, 3);
    RasterImage out;
    ASSERT_TRUE(src->Resample(8, 6, 1, &out));
    EXPECT_TRUE(SamePixels(out, 8, 6, [&](long x, long y) { return Sample(*src, x, y); }));
    EXPECT_TRUE(out.SelectionIsInside(2, 3));
    EXPECT_FALSE(out.SelectionIsInside(3, 3));
    EXPECT_TRUE(out.AlphaIsValid());
    // The image as its own target keeps its pixels.
    RasterImage before(*src);
    ASSERT_TRUE(src->Resample(8, 6, 1, src.get()));
    EXPECT_TRUE(SamePixels(*src, 8, 6, [&](long x, long y) { return Sample(before, x, y); }));
    EXPECT_FALSE(src->Resample(0, 6));
    EXPECT_FALSE(src->Resample(8, -2));
}

TEST(RasterResample, EscapeStillCarriesTheAlpha)
{
    auto src = RandomImage(10, 10, 24, 2, true);
    RasterImage before(*src);
    src->SetEscape(1);
    ASSERT_TRUE(src->Resample(5, 5, 1));
    EXPECT_TRUE(SamePixels(*src, 5, 5, [](long, long) { return 0u; }));
    EXPECT_TRUE(SameAlpha(*src, [&](long x, long y) { return before.AlphaGet(2 * x, 2 * y); }));
}

}  // namespace
