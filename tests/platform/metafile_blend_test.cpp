// AlphaBlend, TransparentBlt and PlgBlt against pixels computed here.
// Windows' AlphaBlend puts the source, scaled by the constant alpha, over
// the canvas scaled by what the source leaves of it: with AC_SRC_ALPHA the
// source is premultiplied and each pixel's alpha (times the constant) is
// what it covers; without it the constant alone. TransparentBlt leaves out
// the source pixels of its key colour. PlgBlt maps the source rectangle's
// corners to a parallelogram's, a monochrome mask's 0 pixels keeping the
// canvas.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

uint32_t BlendFunction(int constant, bool perPixel)
{
    return uint32_t(constant) << 16 | uint32_t(perPixel ? 1 : 0) << 24;
}

// One channel as Windows blends it, to the nearest whole value.
uint32_t Over(uint32_t s, uint32_t d, uint32_t constant, uint32_t alpha)
{
    return uint32_t(
        std::floor((s * constant + d * (255.0 - alpha * constant / 255.0)) / 255.0 + 0.5));
}

uint32_t OverPixel(uint32_t s, uint32_t d, uint32_t constant, uint32_t alpha)
{
    uint32_t out = 0;
    for (int shift : {16, 8, 0})
        out |= Over((s >> shift) & 0xFF, (d >> shift) & 0xFF, constant, alpha) << shift;
    return out;
}

TEST(MetafileBlend, ConstantAlphaStretchesAndBlendsEachChannel)
{
    const uint32_t background = 0x2060A0;
    const std::vector<uint32_t> source = {0xFF0000, 0x00FF00, 0x123456, 0xFEDCBA};
    for (int constant : {0, 1, 0x80, 0xFE, 0xFF}) {
        SCOPED_TRACE(constant);
        EmfBuilder b(0, 0, 9, 9);
        b.BlendBlt(114, 2, 2, 4, 4, BlendFunction(constant, false), 0, 0, 2, 2,
                   PackedDib24(2, 2, source));
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnto(b.Bytes(), 10, 10, false, background, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        for (int y = 0; y < 10; y++)
            for (int x = 0; x < 10; x++) {
                const bool in = x >= 2 && x < 6 && y >= 2 && y < 6;
                const uint32_t want = in ? OverPixel(source[size_t((y - 2) / 2) * 2 + (x - 2) / 2],
                                                     background, uint32_t(constant), 255)
                                         : background;
                ASSERT_EQ(px[size_t(y) * 10 + x], want) << x << "," << y;
            }
    }
}

TEST(MetafileBlend, PerPixelAlphaIsPremultipliedAndScaledByTheConstant)
{
    // Premultiplied pixels: half-covering red, a quarter of green, opaque
    // blue and a transparent one.
    const std::vector<uint32_t> source = {0x80800000, 0x40004000, 0xFF0000FF, 0x00000000};
    const uint32_t background = 0xFFFFFF;
    for (int constant : {0xFF, 0x80}) {
        SCOPED_TRACE(constant);
        EmfBuilder b(0, 0, 3, 0);
        b.BlendBlt(114, 0, 0, 4, 1, BlendFunction(constant, true), 0, 0, 4, 1,
                   PackedDib(4, 1, 32, source));
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnto(b.Bytes(), 4, 1, false, background, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(px[size_t(x)], OverPixel(source[size_t(x)] & 0xFFFFFF, background,
                                               uint32_t(constant), source[size_t(x)] >> 24))
                << x;
    }
    EXPECT_EQ(OverPixel(0x800000, 0xFFFFFF, 255, 0x80), 0xFF7F7Fu);  // the formula, by hand
}

TEST(MetafileBlend, RefusedBlendsDrawNothing)
{
    struct Case {
        const char* name;
        uint32_t blend;
        int bits, w, sx, sw;
    } cases[] = {
        {"per-pixel alpha of a 24-bit source", BlendFunction(255, true), 24, 2, 0, 2},
        {"a destination turned over", BlendFunction(255, false), 24, -2, 0, 2},
        {"a source past its bitmap", BlendFunction(255, false), 24, 2, 1, 2},
        {"an unknown operation", BlendFunction(255, false) | 1, 24, 2, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b(0, 0, 9, 9);
        b.BlendBlt(114, 4, 4, c.w, 2, c.blend, c.sx, 0, c.sw, 2,
                   PackedDib(2, 2, c.bits, {0, 0, 0, 0}));
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_EQ(Ink(px), 0u);
    }
}

TEST(MetafileBlend, TransparentBlitLeavesOutItsKeyColour)
{
    const uint32_t key = 0x00FF00;
    const std::vector<uint32_t> source = {0xFF0000, key, key, 0x0000FF};
    EmfBuilder b(0, 0, 9, 9);
    b.BlendBlt(116, 1, 1, 4, 4, key, 0, 0, 2, 2, PackedDib24(2, 2, source));
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnto(b.Bytes(), 10, 10, false, 0x808080, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    for (int y = 0; y < 10; y++)
        for (int x = 0; x < 10; x++) {
            uint32_t want = 0x808080;
            if (x >= 1 && x < 5 && y >= 1 && y < 5) {
                const uint32_t s = source[size_t((y - 1) / 2) * 2 + (x - 1) / 2];
                want = s == key ? 0x808080 : s;
            }
            ASSERT_EQ(px[size_t(y) * 10 + x], want) << x << "," << y;
        }
}

// Corners (0, 0), (4, 0) and (2, 4): a logical point is (2u + v, 2v) for
// source coordinates u, v in [0, 2). Under a right-to-left layout the blit
// lands on the mirror of its parallelogram, its picture turned over with
// it; with LAYOUT_BITMAPORIENTATIONPRESERVED Windows leaves the picture,
// and the mask with it, the way round it was, in the mirrored place.
TEST(MetafilePlgBlt, TheSourceFillsTheParallelogramOfItsCorners)
{
    const std::vector<uint32_t> source = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    const std::vector<std::string> mask = {"10", "11"};
    struct Row {
        const char* name;
        int layout;  // -1: no SETLAYOUT record
    } rows[] = {{"upright", -1}, {"turned", 0x01}, {"kept", 0x09}};
    for (const Row& r : rows)
        for (bool masked : {false, true}) {
            SCOPED_TRACE(std::string(r.name) + (masked ? " masked" : ""));
            EmfBuilder b(0, 0, 9, 9);
            if (r.layout >= 0)
                b.SetLayout(uint32_t(r.layout));
            const MfPoint c[3] = {{0, 0}, {4, 0}, {2, 4}};
            b.PlgBlt(c, 2, 2, PackedDib24(2, 2, source),
                     masked ? PackedDib1(mask, 0, 0xFFFFFF) : std::vector<uint8_t>{});
            PlayStats stats;
            const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
            EXPECT_EQ(stats.skipped, 0u);
            for (int y = 0; y < 10; y++)
                for (int x = 0; x < 10; x++) {
                    // The logical point under the pixel's centre.
                    const double lx = r.layout < 0 ? x + 0.5 : 10 - (x + 0.5);
                    const double v = (y + 0.5) / 2, u = (lx - v) / 2;
                    uint32_t want = kWhite;
                    if (u >= 0 && u < 2 && v >= 0 && v < 2) {
                        const size_t column = r.layout == 0x09 ? 1 - size_t(u) : size_t(u);
                        const size_t i = size_t(v) * 2 + column;
                        want = masked && mask[i / 2][i % 2] == '0' ? kWhite : source[i];
                    }
                    ASSERT_EQ(px[size_t(y) * 10 + x], want) << x << "," << y;
                }
        }
}

TEST(MetafilePlgBlt, CornersTurnedOverMirrorTheSource)
{
    // Upper-left at (4, 0), upper-right at (0, 0): the source mirrored left
    // to right, two pixels a source pixel.
    const std::vector<uint32_t> source = {0xFF0000, 0x00FF00, 0x0000FF, 0x000000};
    EmfBuilder b(0, 0, 9, 9);
    const MfPoint c[3] = {{4, 0}, {0, 0}, {4, 4}};
    b.PlgBlt(c, 2, 2, PackedDib24(2, 2, source));
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            EXPECT_EQ(px[size_t(y) * 10 + x], source[size_t(y / 2) * 2 + 1 - x / 2])
                << x << "," << y;
    EXPECT_EQ(Ink(px), 16u);
}

}  // namespace
