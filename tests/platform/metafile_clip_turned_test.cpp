// IntersectClipRect and ExcludeClipRect under a world transform that turns
// or shears: Windows clips by the rectangle as the transform makes it, a
// turned or slanted four-sided shape, not by the upright box around it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "metafile_builder.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr int kSide = 64;

struct Turn {
    const char* name;
    double m11, m12, m21, m22, dx, dy;  // as the record holds them, 32-bit floats
};

// Where the transform takes logical (x, y), in the record's float values.
void Apply(const Turn& t, double x, double y, double& ox, double& oy)
{
    ox = x * float(t.m11) + y * float(t.m21) + float(t.dx);
    oy = x * float(t.m12) + y * float(t.m22) + float(t.dy);
}

// Whether the pixel's centre lies inside the convex quadrilateral: 1 surely
// (a hundredth of a pixel in from every side), -1 surely out, 0 on a side.
int Judge(const double (*q)[2], double px, double py)
{
    double area = 0;
    for (int i = 0; i < 4; i++)
        area += q[i][0] * q[(i + 1) % 4][1] - q[(i + 1) % 4][0] * q[i][1];
    double least = 1e300;
    for (int i = 0; i < 4; i++) {
        const double* a = q[i];
        const double* b = q[(i + 1) % 4];
        const double len = std::hypot(b[0] - a[0], b[1] - a[1]);
        const double in = ((b[0] - a[0]) * (py - a[1]) - (b[1] - a[1]) * (px - a[0])) / len;
        least = std::min(least, area > 0 ? in : -in);
    }
    return least > 0.01 ? 1 : (least < -0.01 ? -1 : 0);
}

// The clip rectangle (12, -6) .. (40, 22) through each transform, then the
// transform set back to the identity and the whole canvas filled: the ink
// is the turned rectangle's pixels (IntersectClipRect) or all but them
// (ExcludeClipRect), each pixel by whether its centre lies inside.
TEST(MetafileClipTurned, ClipRectanglesTurnWithTheWorld)
{
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    const Turn turns[] = {
        {"turned 30 degrees", c, s, -s, c, 20, 14},
        {"turned -45 degrees", M_SQRT1_2, -M_SQRT1_2, M_SQRT1_2, M_SQRT1_2, 4, 30},
        {"sheared", 1, 0, 0.6, 1, 0, 12},
        {"turned and mirrored", -c, s, s, c, 58, 8},
    };
    const long l = 12, t = -6, r = 40, b = 22;
    for (const Turn& turn : turns) {
        for (bool exclude : {false, true}) {
            SCOPED_TRACE(std::string(turn.name) + (exclude ? ", exclude" : ", intersect"));
            EmfBuilder e(0, 0, kSide - 1, kSide - 1);
            e.Select(e.CreateBrush(0, RGB(255, 0, 0)));
            e.SelectStock(8);  // NULL_PEN
            e.SetWorldTransform(turn.m11, turn.m12, turn.m21, turn.m22, turn.dx, turn.dy);
            if (exclude)
                e.ExcludeClipRect(l, t, r, b);
            else
                e.IntersectClipRect(l, t, r, b);
            e.Record(36, {0, 0, 0, 0, 0, 0, 1});  // MWT_IDENTITY
            e.Rectangle(0, 0, kSide, kSide);
            const std::vector<uint32_t> px = PlayOnWhite(e.Bytes(), kSide, kSide, false);

            double q[4][2];
            const long corners[4][2] = {{l, t}, {r, t}, {r, b}, {l, b}};
            for (int i = 0; i < 4; i++)
                Apply(turn, corners[i][0], corners[i][1], q[i][0], q[i][1]);
            size_t wrong = 0, inside = 0;
            for (int y = 0; y < kSide; y++) {
                for (int x = 0; x < kSide; x++) {
                    const int j = Judge(q, x + 0.5, y + 0.5);
                    if (j == 0)
                        continue;
                    inside += j > 0;
                    const bool ink = px[size_t(y) * kSide + x] != kWhite;
                    wrong += ink != ((j > 0) != exclude);
                }
            }
            EXPECT_EQ(wrong, 0u);
            EXPECT_GT(inside, 300u);  // the shape lies on the canvas
        }
    }
}

// A turned clip narrows an upright one already there, and SaveDC and
// RestoreDC bring the upright one back.
TEST(MetafileClipTurned, ATurnedClipNarrowsTheClipAndIsRestored)
{
    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    e.Select(e.CreateBrush(0, RGB(255, 0, 0)));
    e.SelectStock(8);
    e.IntersectClipRect(0, 0, 32, 64);
    e.SaveDC();
    // Turned 45 degrees about the canvas's centre: a diamond.
    e.SetWorldTransform(M_SQRT1_2, M_SQRT1_2, -M_SQRT1_2, M_SQRT1_2, 32, 32);
    e.IntersectClipRect(-16, -16, 16, 16);
    e.Record(36, {0, 0, 0, 0, 0, 0, 1});
    e.Rectangle(0, 0, kSide, kSide);
    const std::vector<uint32_t> diamond = PlayOnWhite(e.Bytes(), kSide, kSide, false);
    // The left half of the diamond |x - 32| + |y - 32| < 22.6.
    auto at = [&](const std::vector<uint32_t>& px, int x, int y) {
        return px[size_t(y) * kSide + x] != kWhite;
    };
    EXPECT_TRUE(at(diamond, 31, 32));
    EXPECT_TRUE(at(diamond, 20, 32));
    EXPECT_FALSE(at(diamond, 33, 32));  // right of the upright clip
    EXPECT_FALSE(at(diamond, 12, 14));  // inside the diamond's box, outside the diamond
    EXPECT_FALSE(at(diamond, 8, 32));
    e.RestoreDC(-1);
    e.Rectangle(0, 0, kSide, kSide);
    const std::vector<uint32_t> restored = PlayOnWhite(e.Bytes(), kSide, kSide, false);
    EXPECT_TRUE(at(restored, 12, 14));
    EXPECT_TRUE(at(restored, 0, 63));
    EXPECT_FALSE(at(restored, 32, 32));
}

}  // namespace
