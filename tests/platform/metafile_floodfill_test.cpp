// Flood fills: Windows fills, with the brush, the pixels joined to the
// start point sideways and up and down that are not the border colour
// (FLOODFILLBORDER, and the Windows metafile's FloodFill) or that are the
// surface colour (FLOODFILLSURFACE), inside the clip; a start pixel that is
// not to be filled fails the call. The fill's work is charged to the play.
#include <gtest/gtest.h>
#include <windows.h>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_readers.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kRed = 0xFF0000, kBlack = 0;

// A black outline on (2, 2)-(8, 8), then a red brush and no pen.
void Outline(MetafileWriter& b)
{
    b.Select(b.CreatePen(PS_SOLID, 0, 0));
    b.Select(b.CreateBrush(BS_NULL, 0));
    b.Rectangle(2, 2, 9, 9);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
}

uint32_t Want(int x, int y, bool inside, const RECT& clip)
{
    const bool edge =
        (x == 2 || x == 8) && y >= 2 && y <= 8 ? true : (y == 2 || y == 8) && x >= 2 && x <= 8;
    if (edge)
        return kBlack;
    const bool in = x > 2 && x < 8 && y > 2 && y < 8;
    const bool clipped = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
    return in == inside && clipped ? kRed : kWhite;
}

// The outline, a clip to the columns left of `clipRight` when it is short
// of the canvas's 12, then the fill's record.
template <class Builder>
std::vector<uint8_t> Filled(Builder b, int type, const std::vector<int>& fields, int clipRight)
{
    Outline(b);
    if (clipRight < 12)
        b.IntersectClipRect(0, 0, clipRight, 12);
    b.Record(type, fields);
    return b.Bytes();
}

TEST(MetafileFloodFill, FillsUpToTheBorderOrAcrossTheSurface)
{
    struct Case {
        const char* name;
        bool wmf;
        int type;  // the fill's record and its fields
        std::vector<int> fields;
        bool inside;
        int clipRight;
    } cases[] = {
        {"border", false, 53, {5, 5, 0, 0}, true, 12},
        {"surface", false, 53, {0, 11, 0xFFFFFF, 1}, false, 12},
        {"border inside a clip", false, 53, {4, 4, 0, 0}, true, 5},
        {"wmf flood fill", true, 0x0419, {0, 0, 5, 5}, true, 12},
        {"wmf surface", true, 0x0548, {1, 0xFFFF, 0xFF, 11, 11}, false, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes =
            c.wmf ? Filled(WmfBuilder(), c.type, c.fields, c.clipRight)
                  : Filled(EmfBuilder(0, 0, 11, 11), c.type, c.fields, c.clipRight);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(bytes, 12, 12, c.wmf, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        const RECT clip = {0, 0, c.clipRight, 12};
        for (int y = 0; y < 12; y++)
            for (int x = 0; x < 12; x++)
                ASSERT_EQ(px[size_t(y) * 12 + x], Want(x, y, c.inside, clip)) << x << "," << y;
    }
}

TEST(MetafileFloodFill, AStartPixelNotToBeFilledFailsTheCall)
{
    const std::vector<std::vector<int32_t>> starts = {
        {2, 5, 0, 0},     // on the border
        {5, 5, 0xFF, 1},  // not the surface colour
        {40, 5, 0, 0},    // off the canvas
        {5, 5, 0, 2},     // no such mode
    };
    for (const auto& s : starts) {
        SCOPED_TRACE(s[0] * 100 + s[3]);
        EmfBuilder b(0, 0, 11, 11);
        Outline(b);
        b.Record(53, {s[0], s[1], s[2], s[3]});
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 12, 12, false, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_EQ(Ink(px), 24u);  // the outline alone
    }
}

// A red brush filling the white surface of a w x h picture from (1, 1).
std::vector<uint8_t> RedSurfaceFill(int w, int h)
{
    EmfBuilder b(0, 0, w - 1, h - 1);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    b.Record(53, {1, 1, 0xFFFFFF, 1});
    return b.Bytes();
}

TEST(MetafileFloodFill, ABigCanvasStaysWithinTheWorkAllowance)
{
    // A metafile of a few hundred bytes filling a 4000 x 3000 canvas: the
    // play stops when the allowance is spent, having done no more than it
    // allows (the work of one row's run, some 7 units a pixel, at most past it).
    const std::vector<uint8_t> bytes = RedSurfaceFill(4000, 3000);
    PlayStats stats;
    const std::vector<uint32_t> px = PlayOnWhite(bytes, 4000, 3000, false, &stats);
    EXPECT_EQ(stats.stopped, kStopWorkSpent);
    EXPECT_LE(stats.work, WorkAllowance(bytes.size()) + 8 * 4000);
    EXPECT_EQ(px[4000 + 1], kRed);  // the start's row was painted
    // Half the size is within the allowance and filled whole.
    PlayStats done;
    const std::vector<uint32_t> all =
        PlayOnWhite(RedSurfaceFill(2000, 1500), 2000, 1500, false, &done);
    EXPECT_TRUE(done.stopped.empty());
    EXPECT_EQ(Ink(all), all.size());
}

TEST(MetafileFloodFill, ManySmallFillsOnABigCanvasPayForTheirMarks)
{
    // Each fill of a one-pixel island marks what it has seen over the
    // whole canvas: 20,000 of them in a file of 500 KB stop at the
    // allowance long before they have cleared 20,000 canvases of marks.
    EmfBuilder b(0, 0, 3999, 3999);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    b.SetPixel(1, 1, RGB(255, 0, 0));
    for (int i = 0; i < 20000; i++)
        b.Record(53, {1, 1, int32_t(RGB(255, 0, 0)), 1});
    const std::vector<uint8_t> bytes = b.Bytes();
    PlayStats stats;
    PlayOnWhite(bytes, 4000, 4000, false, &stats);
    EXPECT_EQ(stats.stopped, kStopWorkSpent);
    EXPECT_LT(stats.played, 20000u / 2);
}

}  // namespace
