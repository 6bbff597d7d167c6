// Strokes and curves against the play's work allowance. A curve record of a few bytes
// flattens into a thousand points a segment, so one record can ask for many
// times the allowance at once: a stroke that the rest of the allowance does
// not cover is not drawn, and the play stops there with what it drew.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "alloc_counter.h"
#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_player.h"

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

// A curve is flattened only as far as the allowance left could pay for its
// points: a polybezier of 5400 swinging segments (5.5 million points, over
// 200 MB allocated as they grow)
// under an allowance of 64 K units stops within 4096 points, drawn or in a
// path, and spends the allowance. One the allowance covers is drawn whole.
TEST(MetafileStrokeBudget, CurvesFlattenOnlyWhatTheAllowanceCovers)
{
    constexpr int kSmall = 32;
    std::vector<POINT> swinging = {{0, 0}};
    for (int i = 0; i < 5400; i++) {
        swinging.push_back({30000, -30000});
        swinging.push_back({-30000, 30000});
        swinging.push_back({kSmall / 2, kSmall / 2});
    }
    const std::vector<POINT> gentle = {{2, 2}, {10, 30}, {20, 30}, {30, 2}};
    const struct {
        const char* name;
        bool path;
        const std::vector<POINT>* points;
        bool spent;
    } cases[] = {
        {"drawn, swinging", false, &swinging, true},
        {"in a path, swinging", true, &swinging, true},
        {"drawn, gentle", false, &gentle, false},
        {"in a path, gentle", true, &gentle, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint32_t> px(size_t(kSmall) * kSmall, kWhite);
        BufferCanvas canvas(px.data(), kSmall, kSmall, kSmall);
        Player player(canvas, Fit(), 1, 1, 4);
        constexpr uint64_t kAllowance = 1 << 16;
        player.SetAllowance(kAllowance);
        size_t allocated = 0;
        {
            const AllocCounter counter;
            if (c.path)
                player.BeginPath();
            player.PolyBezier(*c.points);
            if (c.path) {
                player.EndPath();
                player.StrokePath();
            }
            allocated = counter.Total();
        }
        EXPECT_EQ(player.Spent(), c.spent);
        if (c.spent) {
            EXPECT_GE(player.Work(), kAllowance);
        } else {
            EXPECT_GT(Ink(px), 30u);
        }
        if (AllocCounter::Available()) {
            EXPECT_LT(allocated, size_t(1) << 20);
        }
    }
}
