// WidenPath: Windows replaces the path by the outline of the area the
// current pen would cover stroking it, so filling the widened path paints
// the stroke's pixels (whatever the fill mode: the outline joins its pieces
// by winding). It fails, keeping the path, when no finished path is there or
// the pen is one pixel wide and not geometric.
#include <gtest/gtest.h>
#include <windows.h>

#include "alloc_counter.h"
#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_readers.h"

using namespace win32metafile;

namespace {

constexpr int kSize = 40;

// A geometric pen of `style` bits, `width` wide, red.
void Pen(EmfBuilder& b, uint32_t style, int width)
{
    b.SelectExtPen(1, int(0x10000 | style), width, BS_SOLID, RGB(255, 0, 0));
}

void Path(EmfBuilder& b, bool closed)
{
    b.Record(59, {});
    b.MoveTo(6, 6);
    b.LineTo(32, 12);
    b.LineTo(12, 30);
    if (closed)
        b.Record(61, {});
    b.Record(60, {});
}

std::vector<uint32_t> Stroked(uint32_t style, int width, bool closed)
{
    EmfBuilder b(0, 0, kSize - 1, kSize - 1);
    Pen(b, style, width);
    Path(b, closed);
    b.Record(64, {0, 0, 0, 0});  // StrokePath
    return PlayOnWhite(b.Bytes(), kSize, kSize, false);
}

std::vector<uint32_t> WidenedAndFilled(uint32_t style, int width, bool closed, int fillMode,
                                       PlayStats* stats = nullptr)
{
    EmfBuilder b(0, 0, kSize - 1, kSize - 1);
    Pen(b, style, width);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    b.SetPolyFillMode(fillMode);
    Path(b, closed);
    b.Record(66, {});            // WidenPath
    b.Record(62, {0, 0, 0, 0});  // FillPath
    return PlayOnWhite(b.Bytes(), kSize, kSize, false, stats);
}

TEST(MetafileWidenPath, FillingTheWidenedPathPaintsTheStroke)
{
    constexpr uint32_t kFlatMiter = 0x0200 | 0x2000, kSquareBevel = 0x0100 | 0x1000;
    for (uint32_t style : {kFlatMiter, kSquareBevel}) {
        for (bool closed : {false, true}) {
            for (int mode : {ALTERNATE, WINDING}) {
                SCOPED_TRACE(::testing::Message()
                             << style << (closed ? " closed " : " open ") << mode);
                PlayStats stats;
                const std::vector<uint32_t> filled =
                    WidenedAndFilled(style, 7, closed, mode, &stats);
                EXPECT_EQ(stats.skipped, 0u);
                const std::vector<uint32_t> stroked = Stroked(style, 7, closed);
                EXPECT_GT(Ink(stroked), 200u);
                EXPECT_EQ(Differences(filled, stroked), 0u);
            }
        }
    }
}

TEST(MetafileWidenPath, RoundEndsAndJoinsCoverTheStrokeToWithinTheirCurves)
{
    // Round ends and joins are discs in the outline, flattened as curves
    // are: a few pixels on their rims may differ from the stroke's discs.
    const std::vector<uint32_t> filled = WidenedAndFilled(0, 9, false, ALTERNATE);
    const std::vector<uint32_t> stroked = Stroked(0, 9, false);
    EXPECT_LE(Differences(filled, stroked), Ink(stroked) / 50);
}

TEST(MetafileWidenPath, AThinCosmeticPenOrNoPathFails)
{
    // A one-pixel pen made by CreatePen: the path is kept and filled as it
    // was.
    EmfBuilder b(0, 0, kSize - 1, kSize - 1);
    b.Select(b.CreatePen(PS_SOLID, 1, RGB(255, 0, 0)));
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    Path(b, true);
    b.Record(66, {});
    b.Record(62, {0, 0, 0, 0});
    b.Record(66, {});  // no path left to widen
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), kSize, kSize, false, &stats);
    EXPECT_EQ(stats.skipped, 2u);
    EXPECT_EQ(px[size_t(15) * kSize + 15], 0xFF0000u);  // inside the triangle
}

TEST(MetafileWidenPath, SharpCornersUnderAHugeRoundPenStayWithinAPathsPoints)
{
    // 20,000 sharp corners under a round pen wider than the picture: a disc
    // of a thousand points at each would be hundreds of megabytes. The
    // widened path holds no more points than any path may; past that the
    // play's allowance is spent.
    EmfBuilder b(0, 0, kSize - 1, kSize - 1);
    Pen(b, 0, 5000);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    std::vector<MfPoint> zigzag;
    for (int i = 0; i < 20000; i++)
        zigzag.push_back({i % 2 ? 30 : 2, i % 40});
    b.Record(59, {});
    b.Polyline16(zigzag);
    b.Record(60, {});
    b.Record(66, {});
    b.Record(62, {0, 0, 0, 0});
    PlayStats stats;
    size_t peak = 0;
    PlayOnWhite(b.Bytes(), kSize, kSize, false, &stats, nullptr, &peak);
    EXPECT_EQ(stats.stopped, kStopWorkSpent);
    if (AllocCounter::Available()) {
        EXPECT_LT(peak, size_t(96) << 20);
    }
}

}  // namespace
