// Gradient fills against colours computed here. Windows interpolates each
// 16-bit channel linearly and keeps the top 8 bits: across a rectangle w
// pixels wide, the pixel k from the left edge takes
// (left * (w - k) + right * k) / w, so the first column has the left
// colour and the right colour is never quite reached. A triangle's pixel
// takes its corners' colours weighted by where its centre lies.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

using V = EmfBuilder::Vertex;

uint32_t Rgb8(uint32_t r16, uint32_t g16, uint32_t b16)
{
    return ((r16 >> 8) << 16) | ((g16 >> 8) << 8) | (b16 >> 8);
}

// The channel k of w steps from a to b.
uint32_t Step(uint32_t a, uint32_t b, int k, int w)
{
    return (a * uint32_t(w - k) + b * uint32_t(k)) / uint32_t(w);
}

TEST(MetafileGradient, RectanglesShadeAcrossAndDownByWindowsFormula)
{
    const V left = {2, 1, 0x1234, 0xFEDC, 0x0000};
    const V right = {12, 7, 0xFF00, 0x0100, 0x8001};
    for (uint32_t mode : {0u, 1u}) {
        for (bool swapped : {false, true}) {
            SCOPED_TRACE(std::string(mode == 0 ? "across" : "down") + (swapped ? " swapped" : ""));
            EmfBuilder b(0, 0, 15, 9);
            // Naming the far corner first gives the same picture: each
            // colour stays at its own corner.
            b.GradientFill(swapped ? std::vector<V>{right, left} : std::vector<V>{left, right},
                           {0, 1}, mode);
            PlayStats stats;
            const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 16, 10, false, &stats);
            EXPECT_EQ(stats.skipped, 0u);
            for (int y = 0; y < 10; y++) {
                for (int x = 0; x < 16; x++) {
                    uint32_t want = kWhite;
                    if (x >= 2 && x < 12 && y >= 1 && y < 7) {
                        const int k = mode == 0 ? x - 2 : y - 1, w = mode == 0 ? 10 : 6;
                        want = Rgb8(Step(left.r, right.r, k, w), Step(left.g, right.g, k, w),
                                    Step(left.b, right.b, k, w));
                    }
                    ASSERT_EQ(px[size_t(y) * 16 + x], want) << x << "," << y;
                }
            }
        }
    }
}

TEST(MetafileGradient, TrianglesWeighTheirCornersAtEachPixelCentre)
{
    // Corners (0, 0), (16, 0), (0, 16): a centre (x + 0.5, y + 0.5) weighs
    // the second corner (x + 0.5) / 16 and the third (y + 0.5) / 16. The
    // channels are multiples of 32, so the sums are exact.
    const V c[3] = {{0, 0, 0xFFE0, 0x0000, 0x2000},
                    {16, 0, 0x0000, 0xFFE0, 0x2000},
                    {0, 16, 0x0000, 0x0000, 0xFFE0}};
    EmfBuilder b(0, 0, 19, 19);
    b.GradientFill({c[0], c[1], c[2]}, {0, 1, 2}, 2);
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 20, 20, false, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    for (int y = 0; y < 20; y++) {
        for (int x = 0; x < 20; x++) {
            const double w1 = (x + 0.5) / 16, w2 = (y + 0.5) / 16, w0 = 1 - w1 - w2;
            uint32_t want = kWhite;
            if (w0 >= 0) {
                auto ch = [&](uint16_t V::*m) {
                    return uint32_t(std::floor(w0 * (c[0].*m) + w1 * (c[1].*m) + w2 * (c[2].*m)));
                };
                want = Rgb8(ch(&V::r), ch(&V::g), ch(&V::b));
            }
            ASSERT_EQ(px[size_t(y) * 20 + x], want) << x << "," << y;
        }
    }
}

TEST(MetafileGradient, FollowsTheMappingAndTheClip)
{
    // Logical units twice the pixels, the clip cutting off the right half.
    EmfBuilder b(0, 0, 19, 9);
    b.SetMapMode(MM_ANISOTROPIC);
    b.SetWindowExt(10, 10);
    b.SetViewportExt(20, 20);
    b.IntersectClipRect(0, 0, 5, 5);
    b.GradientFill({{0, 0, 0xFF00, 0, 0}, {10, 5, 0, 0, 0xFF00}}, {0, 1}, 0);
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 20, 10, false);
    for (int x = 0; x < 20; x++) {
        const uint32_t want =
            x < 10 ? Rgb8(Step(0xFF00, 0, x, 20), 0, Step(0, 0xFF00, x, 20)) : kWhite;
        EXPECT_EQ(px[5 * 20 + x], want) << x;
    }
}

TEST(MetafileGradient, ATurnedRectangleShadesAlongItsTurnedAxis)
{
    // A quarter turn (x' = 10 - y, y' = x): the shading across the
    // rectangle runs down the picture, over the 4 x 10 pixels it covers.
    EmfBuilder b(0, 0, 19, 19);
    b.SetWorldTransform(0, 1, -1, 0, 10, 0);
    b.GradientFill({{0, 0, 0xFF00, 0, 0}, {10, 4, 0, 0, 0xFF00}}, {0, 1}, 0);
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 20, 20, false, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    EXPECT_EQ(Ink(px), 40u);
    for (int x = 6; x < 10; x++) {
        SCOPED_TRACE(x);
        EXPECT_GE(px[size_t(x)] >> 16, 0xF0u);  // the top row nearly red
        for (int y = 1; y < 10; y++) {
            const uint32_t above = px[size_t(y - 1) * 20 + x], here = px[size_t(y) * 20 + x];
            EXPECT_LT(here >> 16, above >> 16);
            EXPECT_GT(here & 0xFF, above & 0xFF);
        }
    }
}

TEST(MetafileGradient, BadShapesAndCountsDrawNothing)
{
    struct Case {
        const char* name;
        std::vector<V> vertices;
        std::vector<uint32_t> indices;
        uint32_t mode;
    } cases[] = {
        {"index past the vertices", {{0, 0, 0, 0, 0}, {9, 9, 0, 0, 0}}, {0, 2}, 0},
        {"unknown mode", {{0, 0, 0, 0, 0}, {9, 9, 0, 0, 0}}, {0, 1}, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b(0, 0, 9, 9);
        b.GradientFill(c.vertices, c.indices, c.mode);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_EQ(Ink(px), 0u);
    }
    // A shape count of 2^30 in a record of one: skipped by its size.
    EmfBuilder b(0, 0, 9, 9);
    b.Record(118, {0, 0, 0, 0, 2, 1 << 30, 0, 0, 0, 0, 0, 0, 0, 9, 9, 0, 0, 0, 1});
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
    EXPECT_EQ(stats.tooShort, 1u);
    EXPECT_EQ(Ink(px), 0u);
}

}  // namespace
