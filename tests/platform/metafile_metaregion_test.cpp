// SetMetaRgn: Windows makes the clip of the moment the meta region (cut to
// the meta region already set) and lifts the clip. Everything drawn later
// stays inside the meta region whatever the clip becomes: lifting the clip
// again, or widening it with RGN_OR or RGN_COPY, cannot reach past it.
// SaveDC and RestoreDC keep the meta region with the rest of the state.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kRed = 0xFF0000;

// The pixels inside `r` red, the rest white.
std::vector<uint32_t> Expected(const RECT& r)
{
    std::vector<uint32_t> px(100, kWhite);
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            px[size_t(y) * 10 + x] = kRed;
    return px;
}

EmfBuilder RedFill()
{
    EmfBuilder b(0, 0, 9, 9);
    b.Select(b.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
    b.SelectStock(8);  // the null pen
    return b;
}

TEST(MetafileMetaRegion, LaterClipsCannotReachPastIt)
{
    struct Case {
        const char* name;
        void (*after)(EmfBuilder&);
        RECT drawn;
    } cases[] = {
        {"the clip lifted", [](EmfBuilder&) {}, {2, 2, 6, 6}},
        {"the clip lifted by a region record",
         [](EmfBuilder& b) {
             b.Record(75, {0, RGN_COPY});
         },
         {2, 2, 6, 6}},
        {"a wider clip copied",
         [](EmfBuilder& b) {
             b.Record(75, {48, RGN_COPY}, RectRegionData({{0, 0, 10, 10}}, {0, 0, 10, 10}));
         },
         {2, 2, 6, 6}},
        {"a clip joined with more",
         [](EmfBuilder& b) {
             b.IntersectClipRect(8, 8, 9, 9);  // outside the meta region
             b.Record(75, {48, RGN_OR}, RectRegionData({{0, 0, 10, 3}}, {0, 0, 10, 3}));
         },
         {2, 2, 6, 3}},
        {"a narrower clip", [](EmfBuilder& b) { b.IntersectClipRect(4, 0, 10, 10); }, {4, 2, 6, 6}},
        {"a second meta region cut to the first",
         [](EmfBuilder& b) {
             b.IntersectClipRect(4, 4, 10, 10);
             b.Record(28, {});
         },
         {4, 4, 6, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b = RedFill();
        b.IntersectClipRect(2, 2, 6, 6);
        b.Record(28, {});
        c.after(b);
        b.Rectangle(0, 0, 11, 11);
        PlayStats stats;
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(Differences(px, Expected(c.drawn)), 0u);
    }
}

TEST(MetafileMetaRegion, SaveAndRestoreKeepIt)
{
    // Saved without a meta region; one set, then the state restored: the
    // fill reaches the whole canvas again.
    EmfBuilder b = RedFill();
    b.SaveDC();
    b.IntersectClipRect(2, 2, 6, 6);
    b.Record(28, {});
    b.SaveDC();
    b.Record(75, {0, RGN_COPY});
    b.RestoreDC(-1);
    b.Rectangle(0, 0, 11, 2);  // inside the meta region only: row 2 is not reached
    b.RestoreDC(-1);
    b.Rectangle(0, 8, 11, 11);
    const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), 10, 10, false);
    std::vector<uint32_t> want = Expected({0, 8, 10, 10});
    EXPECT_EQ(Differences(px, want), 0u);
}

TEST(MetafileMetaRegion, WithoutAClipItChangesNothing)
{
    EmfBuilder b = RedFill();
    b.Record(28, {});
    b.Rectangle(0, 0, 11, 11);
    EXPECT_EQ(Differences(PlayOnWhite(b.Bytes(), 10, 10, false), Expected({0, 0, 10, 10})), 0u);
}

TEST(MetafileMetaRegion, ClippedTextStaysInsideIt)
{
    // ExtTextOutW with ETO_CLIPPED and a rectangle over the whole picture:
    // the text is cut to the meta region (the right half) too.
    const int w = 80, h = 30;
    for (bool meta : {false, true}) {
        SCOPED_TRACE(meta ? "meta region" : "none");
        EmfBuilder b(0, 0, w - 1, h - 1);
        if (meta) {
            b.IntersectClipRect(40, 0, w, h);
            b.Record(28, {});
        }
        b.SetBkMode(1);
        b.SelectFont(1, -24, u"DejaVu Sans", 0, 0, 700);  // bold
        // Bounds, mode, scales; the text block: reference (2, 2), 8
        // characters at 76, clipped to (0, 0)-(w, h), no spacing.
        b.ExtTextRecord(84, 2, 2, 8, Utf16Bytes(u"WWWWWWWW"), ETO_CLIPPED, {0, 0, w, h}, {},
                        {0, 0, w, h});
        const std::vector<uint32_t> px = PlayOnWhite(b.Bytes(), w, h, false);
        size_t left = 0, right = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++)
                (x < 40 ? left : right) += px[size_t(y) * w + x] != kWhite;
        EXPECT_GT(right, 50u);
        if (meta)
            EXPECT_EQ(left, 0u);
        else
            EXPECT_GT(left, 50u);
    }
}

}  // namespace
