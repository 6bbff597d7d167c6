// Geometric pens of the predefined styles. Windows dashes a geometric pen
// by its own width: a dash is three widths and a gap one, a dot one and one,
// dash-dot 3 1 1 1 and dash-dot-dot 3 1 1 1 1 1, measured in logical units
// along the line; each dash is a wide line of its own with the pen's end
// caps. CreatePen makes a pen wider than one unit geometric (with round
// ends), so it dashes the same way.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kInk = 0xFF0000;  // canvas order, 0x00RRGGBB
constexpr COLORREF kInkRef = 0x0000FF;
constexpr int kGeometric = 0x10000;
constexpr int kFlatEnds = 0x200;

const struct {
    const char* name;
    int style;
    std::vector<int> units;  // widths on, off, on, off ...
} kStyles[] = {
    {"PS_DASH", 1, {3, 1}},
    {"PS_DOT", 2, {1, 1}},
    {"PS_DASHDOT", 3, {3, 1, 1, 1}},
    {"PS_DASHDOTDOT", 4, {3, 1, 1, 1, 1, 1}},
};

std::vector<int> Times(const std::vector<int>& units, int k)
{
    std::vector<int> out;
    for (int u : units)
        out.push_back(u * k);
    return out;
}

// Along the middle row of a flat-ended pen four units wide, each style's
// runs are its units times four, from the line's first pixel; every row the
// pen covers shows the same runs.
TEST(MetafileGeometricDash, FlatEndedStylesRunByTheWidth)
{
    constexpr int kLength = 64;
    for (const auto& s : kStyles) {
        SCOPED_TRACE(s.name);
        EmfBuilder e(0, 0, kLength - 1, 19);
        e.SelectExtPen(9, kGeometric | kFlatEnds | s.style, 4, 0, kInkRef);
        e.MoveTo(0, 10);
        e.LineTo(kLength, 10);
        const std::vector<uint32_t> px = PlayOnWhite(e.Bytes(), kLength, 20, false);
        const std::vector<int> runs = Times(s.units, 4);
        for (int y : {8, 9, 10, 11}) {
            std::string got, want;
            for (int x = 0; x < kLength; x++) {
                got += px[size_t(y) * kLength + x] == kInk ? '#' : '.';
                want += On(runs, x) ? '#' : '.';
            }
            EXPECT_EQ(got, want) << "row " << y;
        }
    }
}

// A round-ended pen made by CreatePen, in both formats, draws what the same
// pen solid draws along each dash on its own: the dashes take the pen's ends.
TEST(MetafileGeometricDash, CreatePenDashesTakeThePensEnds)
{
    for (const auto& s : kStyles) {
        for (bool wmf : {false, true}) {
            SCOPED_TRACE(std::string(s.name) + (wmf ? " wmf" : " emf"));
            constexpr int kWidth = 6, kLength = 90;
            auto build = [&](bool dashed) {
                auto draw = [&](MetafileWriter& m) {
                    m.SetBkMode(1);
                    m.Select(m.CreatePen(dashed ? s.style : 0, kWidth, kInkRef));
                    if (dashed) {
                        m.MoveTo(5, 12);
                        m.LineTo(5 + kLength, 12);
                        return;
                    }
                    // The dashes, each a line of its own.
                    const std::vector<int> runs = Times(s.units, kWidth);
                    int at = 0;
                    for (size_t i = 0; at < kLength; i = (i + 1) % runs.size()) {
                        const int end = std::min(at + runs[i], kLength);
                        if (i % 2 == 0) {
                            m.MoveTo(5 + at, 12);
                            m.LineTo(5 + end, 12);
                        }
                        at = end;
                    }
                };
                if (wmf) {
                    WmfBuilder w;
                    draw(w);
                    return w.Bytes();
                }
                EmfBuilder e(0, 0, 99, 23);
                draw(e);
                return e.Bytes();
            };
            const std::vector<uint32_t> dashed = PlayOnWhite(build(true), 100, 24, wmf);
            const std::vector<uint32_t> pieces = PlayOnWhite(build(false), 100, 24, wmf);
            EXPECT_EQ(Differences(dashed, pieces), 0u);
            // Unlike a solid line, something of each gap shows at the pen's edge.
            EmfBuilder solid(0, 0, 99, 23);
            solid.Select(solid.CreatePen(0, kWidth, kInkRef));
            solid.MoveTo(5, 12);
            solid.LineTo(5 + kLength, 12);
            EXPECT_GT(Differences(dashed, PlayOnWhite(solid.Bytes(), 100, 24, false)), 10u);
        }
    }
}

// Dash lengths are logical units along the line as the transform leaves
// it: under a world transform that turns a quarter and doubles, a dashed
// line down the logical x axis draws the dashes of a pen twice as wide,
// running across the canvas; under a mapping that stretches x only, a
// vertical line's dashes stay three pen widths of y units while the pen is
// as wide as its x units.
TEST(MetafileGeometricDash, DashesFollowTheTransformAlongTheLine)
{
    struct Case {
        const char* name;
        bool turned;
    } cases[] = {{"turned and doubled", true}, {"x stretched", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder played(0, 0, 63, 63), reference(0, 0, 63, 63);
        const int from = 0;
        if (c.turned) {
            // (x, y) -> (-2y + 60, 2x): the line x 0..28 at y 10 runs down
            // column 40 from row 0 to 56, the pen 4 wide.
            played.SetWorldTransform(0, 2, -2, 0, 60, 0);
            played.SelectExtPen(9, kGeometric | kFlatEnds | 1, 2, 0, kInkRef);
            played.MoveTo(0, 10);
            played.LineTo(28, 10);
            // Dashes of 3 x 2 logical units, 12 pixels; gaps 4.
            reference.SelectExtPen(9, kGeometric | kFlatEnds, 4, 0, kInkRef);
        } else {
            played.SetMapMode(8);
            played.SetWindowExt(1, 1);
            played.SetViewportExt(2, 1);
            played.SelectExtPen(9, kGeometric | kFlatEnds | 1, 2, 0, kInkRef);
            played.MoveTo(20, 0);
            played.LineTo(20, 56);
            // The pen 4 pixels wide about column 40; dashes of 6 y units.
            reference.SelectExtPen(9, kGeometric | kFlatEnds, 4, 0, kInkRef);
        }
        const int dash = c.turned ? 12 : 6, gap = c.turned ? 4 : 2;
        for (int y = from; y < 56; y += dash + gap) {
            reference.MoveTo(40, y);
            reference.LineTo(40, std::min(y + dash, 56));
        }
        const std::vector<uint32_t> got = PlayOnWhite(played.Bytes(), 64, 64, false);
        const std::vector<uint32_t> want = PlayOnWhite(reference.Bytes(), 64, 64, false);
        EXPECT_EQ(Differences(got, want), 0u);
        EXPECT_GT(Ink(want), 100u);
    }
}

}  // namespace
