// PolyDraw, ArcTo and AngleArc: Windows draws each as the calls it stands
// for (MoveTo, LineTo, PolyBezierTo and CloseFigure; a line to an arc's
// start, then the arc), and leaves the current position where the drawing
// ends. Each case is checked against those calls played the same way, and
// the position by a line drawn after it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr BYTE kClose = 1, kLine = 2, kBezier = 4, kMove = 6;

// POLYDRAW (56) or, `small`, POLYDRAW16 (92).
void PolyDraw(EmfBuilder& b, const std::vector<MfPoint>& p, const std::vector<uint8_t>& types,
              bool small)
{
    std::vector<uint8_t> tail;
    EmfBuilder::PutPoints(tail, p, small);
    tail.insert(tail.end(), types.begin(), types.end());
    b.Record(small ? 92 : 56, {0, 0, 0, 0, int32_t(p.size())}, tail);
}

std::vector<uint32_t> Play(const EmfBuilder& b, PlayStats* stats = nullptr)
{
    return PlayOnWhite(b.Bytes(), 24, 24, false, stats);
}

EmfBuilder Canvas()
{
    EmfBuilder b(0, 0, 23, 23);
    b.Select(b.CreatePen(PS_SOLID, 0, RGB(0, 0, 255)));
    b.SelectStock(NULL_BRUSH);
    return b;
}

TEST(MetafilePolyDraw, DrawsAsTheCallsItStandsFor)
{
    for (bool small : {false, true}) {
        SCOPED_TRACE(small ? "16-bit" : "32-bit");
        // A closed triangle, a move, a curve, and a line from the position
        // the curve left.
        EmfBuilder drawn = Canvas();
        drawn.MoveTo(1, 1);
        PolyDraw(drawn, {{2, 2}, {20, 2}, {20, 12}, {4, 14}, {10, 22}, {16, 14}, {22, 20}, {2, 22}},
                 {kMove, kLine, kLine | kClose, kMove, kBezier, kBezier, kBezier, kLine}, small);
        drawn.LineTo(12, 18);  // from where the figure left the position

        EmfBuilder calls = Canvas();
        calls.Polygon({{2, 2}, {20, 2}, {20, 12}});
        calls.MoveTo(4, 14);
        calls.Poly(5, {{10, 22}, {16, 14}, {22, 20}});  // POLYBEZIERTO
        calls.LineTo(2, 22);
        calls.LineTo(12, 18);
        PlayStats stats;
        const std::vector<uint32_t> a = Play(drawn, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_GT(Ink(a), 60u);
        EXPECT_EQ(Differences(a, Play(calls)), 0u);
    }
}

TEST(MetafilePolyDraw, ClosingReturnsThePositionToTheFigureStart)
{
    EmfBuilder drawn = Canvas();
    PolyDraw(drawn, {{4, 4}, {18, 4}, {18, 18}}, {kMove, kLine, kLine | kClose}, false);
    drawn.LineTo(4, 20);
    EmfBuilder calls = Canvas();
    calls.Polygon({{4, 4}, {18, 4}, {18, 18}});
    calls.MoveTo(4, 4);
    calls.LineTo(4, 20);
    EXPECT_EQ(Differences(Play(drawn), Play(calls)), 0u);
}

TEST(MetafilePolyDraw, TypesGdiRefusesDrawNothing)
{
    const std::vector<std::vector<uint8_t>> bad = {
        {kMove, kBezier, kBezier},                    // a curve one point short
        {kMove, kBezier | kClose, kBezier, kBezier},  // closed before the curve ends
        {kMove, 0x10, kLine},                         // no such type
    };
    for (size_t i = 0; i < bad.size(); i++) {
        SCOPED_TRACE(i);
        EmfBuilder b = Canvas();
        std::vector<MfPoint> p;
        for (size_t k = 0; k < bad[i].size(); k++)
            p.push_back({int(2 + 5 * k), int(3 + 4 * k)});
        PolyDraw(b, p, bad[i], false);
        PlayStats stats;
        EXPECT_EQ(Ink(Play(b, &stats)), 0u);
        EXPECT_EQ(stats.skipped, 1u);
    }
    // A count far past the record: skipped by its size.
    EmfBuilder b = Canvas();
    b.Record(56, {0, 0, 0, 0, 0x10000000, 1, 1}, {kMove});
    PlayStats stats;
    Play(b, &stats);
    EXPECT_EQ(stats.tooShort, 1u);
}

TEST(MetafileArcTo, LinesToTheArcThenDrawsItAndMovesToItsEnd)
{
    // Box (2, 2)-(22, 22): from the right (22, 12) counter-clockwise to the
    // top (12, 2); the position starts at (2, 20).
    EmfBuilder drawn = Canvas();
    drawn.MoveTo(2, 20);
    drawn.Record(55, {2, 2, 22, 22, 22, 12, 12, 2});
    drawn.LineTo(12, 12);
    PlayStats stats;
    const std::vector<uint32_t> px = Play(drawn, &stats);
    EXPECT_EQ(stats.skipped, 0u);
    auto at = [&](int x, int y) { return px[size_t(y) * 24 + x]; };
    // The line from (2, 20) towards (22, 12) passes (12, 16).
    EXPECT_EQ(at(12, 16), 0x0000FFu);
    // The arc through 45 degrees, about (19, 5); none of the circle's other
    // three quarters.
    int arc = 0;
    for (int y = 3; y <= 7; y++)
        for (int x = 17; x <= 21; x++)
            arc += at(x, y) == 0x0000FFu;
    EXPECT_GT(arc, 0);
    EXPECT_EQ(at(3, 12), kWhite);
    EXPECT_EQ(at(12, 21), kWhite);
    // The line after it starts at the arc's end, the top of the circle.
    EXPECT_EQ(at(12, 7), 0x0000FFu);
}

TEST(MetafileAngleArc, SweepsFromItsStartAngleWhateverTheArcDirection)
{
    for (int direction : {1, 2}) {  // counter-clockwise, clockwise
        SCOPED_TRACE(direction);
        EmfBuilder drawn = Canvas();
        drawn.Record(57, {direction});
        drawn.MoveTo(2, 12);
        // Centre (12, 12), radius 8, from 0 degrees a quarter turn.
        drawn.Record(41, {12, 12, 8, FloatBits(0), FloatBits(90)});
        drawn.LineTo(12, 12);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(drawn, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        auto at = [&](int x, int y) { return px[size_t(y) * 24 + x]; };
        EXPECT_EQ(at(16, 12), 0x0000FFu);  // the line to the start (20, 12)
        EXPECT_EQ(at(12, 8), 0x0000FFu);   // the line from the end (12, 4)
        EXPECT_EQ(at(12, 20), kWhite);     // the bottom of the circle
        EXPECT_EQ(at(4, 12 - 1), kWhite);
    }
    // A radius past the largest positive value is negative: refused.
    EmfBuilder b = Canvas();
    b.Record(41, {12, 12, -1, FloatBits(0), FloatBits(90)});
    PlayStats stats;
    EXPECT_EQ(Ink(Play(b, &stats)), 0u);
    EXPECT_EQ(stats.skipped, 1u);
}

}  // namespace
