// Strokes against the play's work allowance. A curve record of a few bytes
// flattens into a thousand points a segment, so one record can ask for many
// times the allowance at once: a stroke that the rest of the allowance does
// not cover is not drawn, and the play stops there with what it drew.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr int kSide = 256;

// A square drawn first, then a polybezier of `segments` segments, each
// swinging its control points across the 16-bit range.
std::vector<uint8_t> SquareThenCurve(int penWidth, int segments)
{
    EmfBuilder e(0, 0, kSide - 1, kSide - 1);
    const int pen = e.CreatePen(0, penWidth, RGB(0, 0, 255));
    e.Select(e.CreateBrush(0, RGB(255, 0, 0)));
    e.SelectStock(8);  // NULL_PEN: the squares are their fills
    e.Rectangle(10, 10, 30, 30);
    e.Select(pen);
    std::vector<MfPoint> points = {{0, 0}};
    for (int i = 0; i < segments; i++) {
        points.push_back({30000, -30000});
        points.push_back({-30000, 30000});
        points.push_back({kSide / 2, kSide / 2});
    }
    e.Poly(85, points, true);  // EMR_POLYBEZIER16
    e.SelectStock(8);
    e.Rectangle(40, 10, 60, 30);
    return e.Bytes();
}

}  // namespace

TEST(MetafileStrokeBudget, StrokesPastTheAllowanceAreNotDrawn)
{
    const struct {
        const char* name;
        int penWidth;
        int segments;
        bool stops;
    } cases[] = {
        {"wide pen, 5400 segments", 40, 5400, true},
        {"one-pixel pen, 5400 segments", 0, 5400, true},
        {"wide pen, 10 segments", 40, 10, false},
        {"one-pixel pen, 10 segments", 0, 10, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = SquareThenCurve(c.penWidth, c.segments);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(bytes, kSide, kSide, false, &stats);
        const uint64_t allowance = WorkAllowance(bytes.size());
        EXPECT_EQ(!stats.stopped.empty(), c.stops);
        // What a record charges a pixel at a time may go past the allowance
        // by a line across the canvas; nothing more.
        EXPECT_LE(stats.work, allowance + 4 * 2 * kSide);
        // A stopped play keeps the square before the curve, and draws
        // neither the curve nor the square after it.
        if (c.stops) {
            EXPECT_EQ(px[size_t(20) * kSide + 20], 0xFF0000u);
            EXPECT_EQ(px[size_t(20) * kSide + 50], kWhite);
            EXPECT_EQ(Ink(px), 400u);
        } else {
            EXPECT_EQ(px[size_t(20) * kSide + 50], 0xFF0000u);
            EXPECT_GT(Ink(px), 800u);
        }
    }
}
