// SetLayout: with kRtl Windows runs x from the device's right edge,
// so the picture is the mirror image of itself: a pixel x from the left
// lands x from the right. Blits are mirrored with it, their pictures turned
// over, unless LAYOUT_BITMAPORIENTATIONPRESERVED keeps those pictures the
// way round they were (in the mirrored place). SaveDC and RestoreDC keep
// the layout.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;
constexpr int kW = 10, kH = 6;
constexpr DWORD kRtl = 0x01, kKeepBitmaps = 0x08;  // the layout flags

std::vector<uint32_t> Fill(const RECT& r, uint32_t colour, std::vector<uint32_t> px = {})
{
    if (px.empty())
        px.assign(size_t(kW) * kH, kWhite);
    for (int y = r.top; y < r.bottom; y++)
        for (int x = r.left; x < r.right; x++)
            px[size_t(y) * kW + x] = colour;
    return px;
}

template <class Builder>
void BlueBox(Builder& b)
{
    b.Select(b.CreateBrush(BS_SOLID, RGB(0, 0, 255)));
    b.Select(b.CreatePen(PS_NULL, 0, 0));
    b.Rectangle(1, 2, 5, 5);
}

TEST(MetafileLayout, RightToLeftMirrorsShapes)
{
    const std::vector<uint32_t> want = Fill({5, 2, 9, 5}, kBlue);  // x 1..4 from the right
    WmfBuilder w;
    EmfBuilder e(0, 0, kW - 1, kH - 1);
    for (MetafileWriter* b : {static_cast<MetafileWriter*>(&e), static_cast<MetafileWriter*>(&w)}) {
        const bool wmf = b == &w;
        SCOPED_TRACE(wmf ? "wmf" : "emf");
        b->SetLayout(kRtl);
        BlueBox(*b);
        PlayStats stats;
        EXPECT_EQ(Differences(PlayOnWhite(b->Bytes(), kW, kH, wmf, &stats), want), 0u);
        EXPECT_EQ(stats.skipped, 0u);
    }
}

TEST(MetafileLayout, BlitsAreMirroredUnlessTheirOrientationIsKept)
{
    struct Case {
        const char* name;
        DWORD layout;
        std::vector<uint32_t> want;
    } cases[] = {
        {"left to right", 0, Fill({2, 0, 4, 2}, kGreen, Fill({0, 0, 2, 2}, kRed))},
        {"mirrored", kRtl, Fill({6, 0, 8, 2}, kGreen, Fill({8, 0, 10, 2}, kRed))},
        {"mirrored, picture kept", kRtl | kKeepBitmaps,
         Fill({8, 0, 10, 2}, kGreen, Fill({6, 0, 8, 2}, kRed))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b(0, 0, kW - 1, kH - 1);
        b.SetLayout(c.layout);
        b.StretchDib(0, 0, 4, 2, 2, 1, {kRed, kGreen});
        EXPECT_EQ(Differences(PlayOnWhite(b.Bytes(), kW, kH, false), c.want), 0u);
    }
}

// A blit stretched 1e20 times across: under a right-to-left layout the
// canvas sees only the end of it that lands at the right edge, which is the
// picture's right half (green) when the picture is kept the way round and
// its left half (red) when it is turned over with the layout.
TEST(MetafileLayout, ABlitReachingFarPastTheCanvasShowsItsNearEnd)
{
    for (const DWORD layout : {kRtl | kKeepBitmaps, kRtl}) {
        SCOPED_TRACE(layout);
        EmfBuilder b(0, 0, kW - 1, kH - 1);
        b.SetLayout(layout);
        b.SetWorldTransform(1e20, 0, 0, 1, 0, 0);
        b.StretchDib(0, 0, 4, 2, 2, 1, {kRed, kGreen});
        const uint32_t near = layout & kKeepBitmaps ? kGreen : kRed;
        EXPECT_EQ(Differences(PlayOnWhite(b.Bytes(), kW, kH, false), Fill({0, 0, kW, 2}, near)),
                  0u);
    }
}

TEST(MetafileLayout, RestoreDcTakesTheLayoutBack)
{
    EmfBuilder b(0, 0, kW - 1, kH - 1);
    b.SaveDC();
    b.SetLayout(kRtl);
    b.RestoreDC(-1);
    BlueBox(b);
    EXPECT_EQ(Differences(PlayOnWhite(b.Bytes(), kW, kH, false), Fill({1, 2, 5, 5}, kBlue)), 0u);
}

// Regions given in device units are mirrored with the rest of the picture:
// Windows mirrors the clip region selected into a right-to-left context and
// the regions filled, painted, framed and inverted there. The region (1, 1)
// to (5, 5) lands on x 5..8.
TEST(MetafileLayout, DeviceRegionsAreMirrored)
{
    const RECT mirrored = {5, 1, 9, 5};
    const std::vector<uint8_t> data = RectRegionData({{1, 1, 5, 5}});
    const int32_t n = int32_t(data.size());
    std::vector<uint32_t> ring = Fill(mirrored, kBlue);
    ring = Fill({6, 2, 8, 4}, kWhite, ring);
    struct Case {
        const char* name;
        std::function<void(EmfBuilder&)> record;
        std::vector<uint32_t> want;
    } cases[] = {
        {"clip",
         [&](EmfBuilder& b) {
             b.Record(75, {n, RGN_COPY}, data);  // EXTSELECTCLIPRGN
             b.Rectangle(0, 0, kW, kH);
         },
         Fill(mirrored, kBlue)},
        {"fill",
         [&](EmfBuilder& b) {
             b.Record(71, {0, 0, 0, 0, n, 1}, data);
         },
         Fill(mirrored, kBlue)},
        {"paint",
         [&](EmfBuilder& b) {
             b.Record(74, {0, 0, 0, 0, n}, data);
         },
         Fill(mirrored, kBlue)},
        {"frame",
         [&](EmfBuilder& b) {
             b.Record(72, {0, 0, 0, 0, n, 1, 1, 1}, data);
         },
         ring},
        {"invert",
         [&](EmfBuilder& b) {
             b.Record(73, {0, 0, 0, 0, n}, data);
         },
         Fill(mirrored, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder b(0, 0, kW - 1, kH - 1);
        b.SetLayout(kRtl);
        b.Select(b.CreateBrush(BS_SOLID, RGB(0, 0, 255)));  // slot 1
        b.Select(b.CreatePen(PS_NULL, 0, 0));
        c.record(b);
        PlayStats stats;
        EXPECT_EQ(Differences(PlayOnWhite(b.Bytes(), kW, kH, false, &stats), c.want), 0u);
        EXPECT_EQ(stats.skipped, 0u);
    }
}

}  // namespace
