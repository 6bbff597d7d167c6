// Region records under a world transform that turns. A region stays upright
// on the device, so Windows carries the logical sizes and offsets these
// records give through the whole transform: a frame's width and height come
// out as the device extents of the logical w x h box (a quarter turn swaps
// them), and OffsetClipRgn's logical offset moves the clip along the turned
// axes.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kInk = 0xFF0000;
constexpr COLORREF kInkRef = 0x0000FF;

std::string Picture(const std::vector<uint32_t>& px, int w)
{
    std::string s;
    for (size_t i = 0; i < px.size(); i++) {
        s += px[i] == kInk ? '#' : '.';
        if ((i + 1) % size_t(w) == 0)
            s += '\n';
    }
    return s;
}

// FRAMERGN of the box 4..20 with a frame 3 wide and 1 high: upright, the
// sides are 3 pixels and the top and bottom 1; turned a quarter (twice the
// size), the logical width runs down the device, so the sides are 2 and the
// top and bottom 6.
TEST(MetafileTurnedRegion, FrameSizesFollowTheTurn)
{
    struct Case {
        const char* name;
        double m11, m12, m21, m22;
        int dx, dy;
    } cases[] = {
        {"upright", 1, 0, 0, 1, 3, 1},
        {"turned a quarter and doubled", 0, 2, -2, 0, 2, 6},
        {"turned back a quarter", 0, -1, 1, 0, 1, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder e(0, 0, 23, 23);
        const int brush = e.CreateBrush(0, kInkRef);
        e.SetWorldTransform(c.m11, c.m12, c.m21, c.m22, 0, 0);
        const std::vector<uint8_t> data = RectRegionData({{4, 4, 20, 20}});
        e.Record(72, {0, 0, 0, 0, int32_t(data.size()), brush, 3, 1}, data);
        const std::vector<uint32_t> px = PlayOnWhite(e.Bytes(), 24, 24, false);
        std::vector<uint32_t> want(px.size(), kWhite);
        for (int y = 4; y < 20; y++)
            for (int x = 4; x < 20; x++)
                if (x < 4 + c.dx || x >= 20 - c.dx || y < 4 + c.dy || y >= 20 - c.dy)
                    want[size_t(y) * 24 + x] = kInk;
        EXPECT_EQ(Picture(px, 24), Picture(want, 24));
    }
}

// A clip 2..6 square moved by the logical offset (3, 1) under a quarter
// turn, (x, y) -> (-y, x): on the device it moves by (-1, 3).
TEST(MetafileTurnedRegion, OffsetClipMovesAlongTheTurnedAxes)
{
    EmfBuilder e(0, 0, 11, 11);
    const std::vector<uint8_t> data = RectRegionData({{2, 2, 6, 6}});
    e.Record(75, {int32_t(data.size()), 5}, data);  // EXTSELECTCLIPRGN, RGN_COPY
    e.SetWorldTransform(0, 1, -1, 0, 0, 0);
    e.Record(26, {3, 1});
    e.SetWorldTransform(1, 0, 0, 1, 0, 0);
    e.Select(e.CreatePen(5, 0, 0));
    e.Select(e.CreateBrush(0, kInkRef));
    e.Rectangle(0, 0, 12, 12);
    const std::vector<uint32_t> px = PlayOnWhite(e.Bytes(), 12, 12, false);
    std::vector<uint32_t> want(px.size(), kWhite);
    for (int y = 5; y < 9; y++)
        for (int x = 1; x < 5; x++)
            want[size_t(y) * 12 + x] = kInk;
    EXPECT_EQ(Picture(px, 12), Picture(want, 12));
}

}  // namespace
