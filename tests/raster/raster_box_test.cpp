// The box-averaging shrink by runs against the pixel-by-pixel reference:
// random sizes and factors (near 1, whole, fractional, far shrinks), and a
// stop part-way, byte for byte over the whole result.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "rasterbox.h"
#include "transform_support.h"

using namespace transform_test;

namespace {

long g_stopAt = -1;  // the source row the progress callback stops at

bool StopAt(RasterImage&, long row, long)
{
    return row == g_stopAt;
}

// Both forms into fresh images filled with a pattern, so that a pixel one of
// them leaves unwritten shows as well.
void ExpectSameShrink(RasterImage& src, long nw, long nh)
{
    const float kx = (float)src.GetWidth() / nw, ky = (float)src.GetHeight() / nh;
    RasterImage fast((DWORD)nw, (DWORD)nh, 24, 0), plain((DWORD)nw, (DWORD)nh, 24, 0);
    fast.Clear(0xA5);
    plain.Clear(0xA5);
    rasterbox::Shrink(src, fast, kx, ky, StopAt);
    rasterbox::ShrinkReference(src, plain, kx, ky, StopAt);
    EXPECT_EQ(0, memcmp(plain.GetBits(0), fast.GetBits(0), (size_t)plain.GetEffWidth() * nh));
}

TEST(RasterBox, ShrinkByRunsEqualsThePixelByPixelShrink)
{
    const unsigned seed = 3408;
    std::mt19937 rng(seed);
    struct Case {
        long w, h, nw, nh;
    };
    std::vector<Case> cases = {{8, 8, 4, 4},   {100, 100, 50, 50}, {4096, 3, 1024, 2},
                               {7, 9, 6, 8},   {300, 5, 2, 1},     {1000, 40, 999, 39},
                               {64, 64, 3, 5}, {33, 65, 32, 64},   {2000, 17, 1, 1}};
    for (int i = 0; i < 40; i++) {
        const long w = 2 + (long)(rng() % 300), h = 2 + (long)(rng() % 120);
        cases.push_back({w, h, 1 + (long)(rng() % (unsigned long)(w - 1)),
                         1 + (long)(rng() % (unsigned long)(h - 1))});
    }
    unsigned imageSeed = 1;
    for (const Case& c : cases) {
        for (long stop : {-1L, c.h / 2}) {
            SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + " to " +
                         std::to_string(c.nw) + "x" + std::to_string(c.nh) + " stop " +
                         std::to_string(stop) + " image seed " + std::to_string(imageSeed));
            auto src = RandomImage(c.w, c.h, 24, imageSeed++);
            g_stopAt = stop;
            ExpectSameShrink(*src, c.nw, c.nh);
        }
    }
    g_stopAt = -1;
}

}  // namespace
