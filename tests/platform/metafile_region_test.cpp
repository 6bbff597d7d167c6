// Regions in the metafile player: the boolean combinations against a pixel
// by pixel reference on random regions, and the region records of both
// formats (clip selection in each mode, the path as a clip, filling,
// framing, inverting and painting) against pixels worked out here.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <random>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_region.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kInk = 0xFF0000;  // canvas order
constexpr COLORREF kInkRef = 0x0000FF;

// A square of the ink from the corner, without pen: what the clip lets
// through shows.
void InkAll(EmfBuilder& e, int side)
{
    e.Select(e.CreatePen(5, 0, 0));
    e.Select(e.CreateBrush(0, kInkRef));
    e.Rectangle(0, 0, side, side);
}

bool Contains(const ClipRegion& r, long x, long y)
{
    size_t hint = 0;
    const ClipRegion::Band* b = r.BandAt(y, hint);
    if (b == nullptr)
        return false;
    const ClipRegion::Span* s = r.Spans(*b);
    for (size_t i = 0; i < b->count; i++)
        if (s[i].left <= x && x < s[i].right)
            return true;
    return false;
}

bool InRects(const std::vector<RECT>& rects, long x, long y)
{
    for (const RECT& r : rects)
        if (r.left <= x && x < r.right && r.top <= y && y < r.bottom)
            return true;
    return false;
}

// Random regions of overlapping rectangles, combined in each mode: every
// pixel is in the result exactly when the mode's truth says so, and the
// result's bands are sorted, apart and never two alike in a row.
TEST(MetafileRegion, CombinationsMatchThePixelTruth)
{
    std::mt19937 rng(33);
    auto rects = [&rng]() {
        std::vector<RECT> out;
        const int n = int(rng() % 6);
        for (int i = 0; i < n; i++) {
            const LONG x = LONG(rng() % 30), y = LONG(rng() % 30);
            out.push_back({x, y, x + LONG(rng() % 12), y + LONG(rng() % 12)});
        }
        return out;
    };
    const std::function<bool(bool, bool)> truth[] = {
        [](bool a, bool b) { return a && b; }, [](bool a, bool b) { return a || b; },
        [](bool a, bool b) { return a != b; }, [](bool a, bool b) { return a && !b; },
        [](bool, bool b) { return b; }};
    for (int round = 0; round < 300; round++) {
        const std::vector<RECT> ra = rects(), rb = rects();
        const auto a = ClipRegion::FromRects(ra), b = ClipRegion::FromRects(rb);
        for (int mode = kRegionAnd; mode <= kRegionCopy; mode++) {
            SCOPED_TRACE("round " + std::to_string(round) + " mode " + std::to_string(mode));
            const auto c = CombineRegions(*a, *b, mode);
            ASSERT_NE(c, nullptr);
            int wrong = 0;
            for (long y = -1; y < 44; y++)
                for (long x = -1; x < 44; x++)
                    wrong +=
                        Contains(*c, x, y) != truth[mode - 1](InRects(ra, x, y), InRects(rb, x, y));
            EXPECT_EQ(wrong, 0);
            const auto& bands = c->Bands();
            for (size_t i = 1; i < bands.size(); i++)
                EXPECT_LE(bands[i - 1].bottom, bands[i].top);
        }
    }
    EXPECT_EQ(CombineRegions(*ClipRegion::FromRects({}), *ClipRegion::FromRects({}), 6), nullptr);
}

// Region data of the rectangles, as the shared builder writes it.
std::vector<uint8_t> RegionData(const std::vector<RECT>& rects)
{
    std::vector<MfRect> r;
    for (const RECT& rc : rects)
        r.push_back({int(rc.left), int(rc.top), int(rc.right), int(rc.bottom)});
    return RectRegionData(r);
}

std::vector<uint32_t> Play(bool wmf, const std::vector<uint8_t>& bytes, int w, int h,
                           PlayStats* stats = nullptr, uint32_t background = kWhite)
{
    return PlayOnto(bytes, w, h, wmf, background, stats);
}

std::string Diff(const std::vector<uint32_t>& got, int w,
                 const std::function<uint32_t(int, int)>& want)
{
    std::string out;
    for (size_t i = 0; i < got.size() && out.size() < 300; i++) {
        const int x = int(i % w), y = int(i / w);
        if (got[i] != want(x, y))
            out += "(" + std::to_string(x) + "," + std::to_string(y) + ") ";
    }
    return out;
}

// EMR_EXTSELECTCLIPRGN in each mode over a clip of (2, 2, 12, 12), then a
// rectangle over the whole picture: the pixels drawn are the combination.
TEST(MetafileRegion, SelectClipRegionCombinesInEachMode)
{
    const std::vector<RECT> first = {{2, 2, 12, 12}};
    const std::vector<RECT> region = {{8, 0, 16, 6}, {0, 10, 4, 16}};
    const std::function<bool(bool, bool)> truth[] = {
        [](bool a, bool b) { return a && b; }, [](bool a, bool b) { return a || b; },
        [](bool a, bool b) { return a != b; }, [](bool a, bool b) { return a && !b; },
        [](bool, bool b) { return b; }};
    for (int mode = 1; mode <= 5; mode++) {
        SCOPED_TRACE(mode);
        EmfBuilder e(0, 0, 15, 15);
        e.IntersectClipRect(2, 2, 12, 12);
        const std::vector<uint8_t> data = RegionData(region);
        e.Record(75, {int32_t(data.size()), mode}, data);
        InkAll(e, 16);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 16, 16, &stats);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(Diff(px, 16,
                       [&](int x, int y) {
                           return truth[mode - 1](InRects(first, x, y), InRects(region, x, y))
                                      ? kInk
                                      : kWhite;
                       }),
                  "");
    }
    // RGN_COPY without data lifts the clip; another mode without data is
    // refused and changes nothing.
    EmfBuilder e(0, 0, 7, 7);
    e.IntersectClipRect(0, 0, 2, 2);
    e.Record(75, {0, 1});
    InkAll(e, 8);
    e.Record(75, {0, 5});
    e.Rectangle(0, 0, 8, 8);
    PlayStats stats;
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 8, 8, &stats);
    EXPECT_EQ(stats.skipped, 1u);
    EXPECT_EQ(px[7 * 8 + 7], kInk);
}

// EMR_SELECTCLIPPATH: the path's area (pixels whose centres lie inside it)
// becomes the clip, combined as asked; the path is used up.
TEST(MetafileRegion, SelectClipPathClipsToThePathArea)
{
    for (int mode : {5, 4}) {
        SCOPED_TRACE(mode);
        EmfBuilder e(0, 0, 15, 15);
        e.Record(59, {});  // BEGINPATH
        e.Polygon({{2, 3}, {12, 3}, {12, 9}, {2, 9}});
        e.Record(60, {});      // ENDPATH
        e.Record(67, {mode});  // SELECTCLIPPATH
        e.Record(67, {5});     // no path left: refused
        InkAll(e, 16);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 16, 16, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_EQ(Diff(px, 16,
                       [&](int x, int y) {
                           const bool in = x >= 2 && x < 12 && y >= 3 && y < 9;
                           return in == (mode == 5) ? kInk : kWhite;
                       }),
                  "");
    }
}

// EMR_FILLRGN with a table brush, EMR_PAINTRGN with the selected one,
// EMR_FRAMERGN two pixels across and one down inside the region's edges,
// EMR_INVERTRGN turning every bit of the screen.
TEST(MetafileRegion, FillPaintFrameAndInvert)
{
    const std::vector<RECT> region = {{2, 2, 12, 10}};
    const std::vector<uint8_t> data = RegionData(region);
    const int n = int(data.size());
    struct Case {
        const char* name;
        std::function<void(EmfBuilder&)> record;
        std::function<uint32_t(int, int)> want;
    } cases[] = {
        {"fill",
         [&](EmfBuilder& e) {
             e.Record(71, {0, 0, 0, 0, n, 9}, data);
         },
         [&](int x, int y) { return InRects(region, x, y) ? kInk : 0x808080u; }},
        {"fill with a stock brush",
         [&](EmfBuilder& e) {
             e.Record(71, {0, 0, 0, 0, n, int32_t(0x80000004u)}, data);
         },
         [&](int x, int y) { return InRects(region, x, y) ? 0u : 0x808080u; }},
        {"paint",
         [&](EmfBuilder& e) {
             e.Record(74, {0, 0, 0, 0, n}, data);
         },
         [&](int x, int y) { return InRects(region, x, y) ? 0x00FF00u : 0x808080u; }},
        {"frame",
         [&](EmfBuilder& e) {
             e.Record(72, {0, 0, 0, 0, n, 9, 2, 1}, data);
         },
         [&](int x, int y) {
             const bool inner = x >= 4 && x < 10 && y >= 3 && y < 9;
             return InRects(region, x, y) && !inner ? kInk : 0x808080u;
         }},
        {"invert",
         [&](EmfBuilder& e) {
             e.Record(73, {0, 0, 0, 0, n}, data);
         },
         [&](int x, int y) { return InRects(region, x, y) ? 0x7F7F7Fu : 0x808080u; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EmfBuilder e(0, 0, 13, 11);
        e.Record(39, {9, 0, int32_t(kInkRef), 0});  // a red brush in slot 9
        e.Select(e.CreateBrush(0, 0x00FF00));       // green selected
        c.record(e);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 14, 12, &stats, 0x808080);
        EXPECT_EQ(stats.skipped, 0u);
        EXPECT_EQ(Diff(px, 14, c.want), "");
    }
}

// A Windows region object: the 22-byte header, then scans of x pairs.
std::vector<uint8_t> RegionObject(const std::vector<RECT>& oneScanEach)
{
    std::vector<int> w = {0, 6, 0, 0, 0, int(oneScanEach.size()), 2, 0, 0, 0, 0};
    for (const RECT& r : oneScanEach)
        w.insert(w.end(), {2, int(r.top), int(r.bottom), int(r.left), int(r.right), 2});
    std::vector<uint8_t> b;
    for (int v : w)
        Put16(b, uint16_t(v));
    return b;
}

// The Windows region records: a region object selected as the clip (by its
// own record and by SelectObject), filled, framed, inverted and painted.
TEST(MetafileRegion, WindowsRegionRecords)
{
    const std::vector<RECT> region = {{1, 1, 6, 4}, {3, 4, 9, 8}};
    auto inRegion = [&](int x, int y) { return InRects(region, x, y); };
    struct Case {
        const char* name;
        std::function<void(WmfBuilder&)> record;  // the region in slot 1, red brush in 0
        std::function<uint32_t(int, int)> want;
    } cases[] = {
        {"select clip",
         [](WmfBuilder& w) {
             w.Record(0x012C, {1});
             w.Select(0);
             w.Rectangle(0, 0, 10, 10);
         },
         [&](int x, int y) { return inRegion(x, y) ? kInk : kWhite; }},
        {"select object",
         [](WmfBuilder& w) {
             w.Select(1);
             w.Select(0);
             w.Rectangle(0, 0, 10, 10);
         },
         [&](int x, int y) { return inRegion(x, y) ? kInk : kWhite; }},
        {"fill",
         [](WmfBuilder& w) {
             w.Record(0x0228, {1, 0});
         },
         [&](int x, int y) { return inRegion(x, y) ? kInk : kWhite; }},
        {"paint",
         [](WmfBuilder& w) {
             w.Select(0);
             w.Record(0x012B, {1});
         },
         [&](int x, int y) { return inRegion(x, y) ? kInk : kWhite; }},
        {"invert", [](WmfBuilder& w) { w.Record(0x012A, {1}); },
         [&](int x, int y) { return inRegion(x, y) ? 0u : kWhite; }},
        {"frame one pixel",
         [](WmfBuilder& w) {
             w.Record(0x0429, {1, 0, 1, 1});
         },
         [&](int x, int y) {
             bool edge = false;
             for (int dy = -1; dy <= 1; dy++)
                 for (int dx = -1; dx <= 1; dx++)
                     if ((dx == 0) != (dy == 0) && !inRegion(x + dx, y + dy))
                         edge = true;
             return inRegion(x, y) && edge ? kInk : kWhite;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WmfBuilder w;
        w.Select(w.CreatePen(5, 0, 0));  // slot 0, freed below
        w.Delete(0);
        w.CreateBrush(0, kInkRef);                   // slot 0
        w.Record(0x06FF, {}, RegionObject(region));  // slot 1
        w.Record(0x012D, {2});                       // nothing in slot 2: refused
        c.record(w);
        PlayStats stats;
        const std::vector<uint32_t> px = Play(true, w.Bytes(), 10, 10, &stats);
        EXPECT_EQ(stats.skipped, 1u);
        EXPECT_EQ(Diff(px, 10, c.want), "");
    }
}

}  // namespace

namespace {

// OffsetClipRgn moves the clip by logical units, in both formats.
TEST(MetafileRegion, OffsetClipMovesTheClip)
{
    for (bool wmf : {false, true}) {
        SCOPED_TRACE(wmf ? "wmf" : "emf");
        std::vector<uint8_t> bytes;
        if (wmf) {
            WmfBuilder w;
            w.IntersectClipRect(2, 2, 6, 6);
            w.Record(0x0220, {1, 3});
            w.Select(w.CreatePen(5, 0, 0));
            w.Select(w.CreateBrush(0, kInkRef));
            w.Rectangle(0, 0, 12, 12);
            bytes = w.Bytes();
        } else {
            EmfBuilder e(0, 0, 11, 11);
            e.IntersectClipRect(2, 2, 6, 6);
            e.Record(26, {3, 1});
            InkAll(e, 12);
            bytes = e.Bytes();
        }
        const std::vector<uint32_t> px = Play(wmf, bytes, 12, 12);
        EXPECT_EQ(
            Diff(px, 12,
                 [](int x, int y) { return x >= 5 && x < 9 && y >= 3 && y < 7 ? kInk : kWhite; }),
            "");
    }
}

}  // namespace
