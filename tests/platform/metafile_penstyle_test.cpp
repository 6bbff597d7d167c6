// Styled pens in the metafile player: the runs of pixels a one-pixel line
// draws, as Windows draws cosmetic styled pens on the display (a style unit
// of three pixels: a dash is 18 pixels then a gap of 6, a dot 3 and 3), the
// gaps left alone on a transparent background and filled with the
// background colour on an opaque one.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kInk = 0xFF0000;  // canvas order, 0x00RRGGBB
constexpr COLORREF kInkRef = 0x0000FF;
constexpr uint32_t kBack = 0x00C000;  // green: the same either way round

std::vector<uint32_t> Play(bool wmf, const std::vector<uint8_t>& bytes, int w, int h)
{
    return PlayOnWhite(bytes, w, h, wmf);
}

struct Style {
    const char* name;
    int style;
    std::vector<int> runs;  // pixels on, off, on, off ...
};
const Style kStyles[] = {
    {"PS_DASH", 1, {18, 6}},         {"PS_DOT", 2, {3, 3}},
    {"PS_DASHDOT", 3, {9, 6, 3, 6}}, {"PS_DASHDOTDOT", 4, {9, 3, 3, 3, 3, 3}},
    {"PS_ALTERNATE", 8, {1, 1}},
};

// Each style on a horizontal line (left to right and right to left) and a
// vertical one, in both formats and both background modes: the runs start
// with the line's first pixel.
TEST(MetafilePenStyle, CosmeticStylesDrawTheirRuns)
{
    constexpr int kLength = 60;
    for (const Style& s : kStyles) {
        for (int mode : {1, 2}) {
            for (bool wmf : {false, true}) {
                for (int dir = 0; dir < 3; dir++) {
                    SCOPED_TRACE(std::string(s.name) + (mode == 2 ? " opaque" : " transparent") +
                                 (wmf ? " wmf" : " emf") + " direction " + std::to_string(dir));
                    auto draw = [&](MetafileWriter& m) {
                        m.SetBkMode(mode);
                        m.SetBkColor(0x00C000);
                        m.Select(m.CreatePen(s.style, 0, kInkRef));
                        if (dir == 0) {
                            m.MoveTo(0, 1);
                            m.LineTo(kLength, 1);
                        } else if (dir == 1) {
                            m.MoveTo(kLength - 1, 1);
                            m.LineTo(-1, 1);
                        } else {
                            m.MoveTo(1, 0);
                            m.LineTo(1, kLength);
                        }
                    };
                    std::vector<uint8_t> bytes;
                    if (wmf) {
                        WmfBuilder w;
                        draw(w);
                        bytes = w.Bytes();
                    } else {
                        EmfBuilder e(0, 0, kLength - 1, kLength - 1);
                        draw(e);
                        bytes = e.Bytes();
                    }
                    const std::vector<uint32_t> px = Play(wmf, bytes, kLength, kLength);
                    std::string got, want;
                    for (int n = 0; n < kLength; n++) {
                        const int x = dir == 0 ? n : dir == 1 ? kLength - 1 - n : 1;
                        const int y = dir == 2 ? n : 1;
                        const uint32_t c = px[size_t(y) * kLength + x];
                        got += c == kInk ? '#' : c == kBack ? '-' : '.';
                        want += On(s.runs, n) ? '#' : mode == 2 ? '-' : '.';
                    }
                    EXPECT_EQ(got, want);
                }
            }
        }
    }
}

// The style goes on round a polyline's corners instead of starting again.
TEST(MetafilePenStyle, PolylineCarriesTheStyleRoundItsCorners)
{
    EmfBuilder e(0, 0, 39, 39);
    e.SetBkMode(1);
    e.Select(e.CreatePen(1, 0, kInkRef));
    e.Polyline({{0, 0}, {10, 0}, {10, 30}});
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 40, 40);
    std::string got, want;
    for (int n = 0; n < 40; n++) {
        const int x = n < 10 ? n : 10, y = n < 10 ? 0 : n - 10;
        got += px[size_t(y) * 40 + x] == kInk ? '#' : '.';
        want += On({18, 6}, n) ? '#' : '.';
    }
    EXPECT_EQ(got, want);
}

// PS_USERSTYLE from EMR_EXTCREATEPEN: a cosmetic pen's runs are pixels; an
// odd count alternates the other way on its second pass.
TEST(MetafilePenStyle, UserStylesDrawTheirOwnRuns)
{
    const std::vector<std::vector<int>> styles = {{2, 1, 4, 3}, {2, 1, 4}, {5, 5}};
    for (const auto& runs : styles) {
        SCOPED_TRACE(runs.size());
        EmfBuilder e(0, 0, 39, 2);
        e.SetBkMode(1);
        e.SelectExtPen(9, 7, 1, 0, kInkRef, runs);  // PS_COSMETIC | PS_USERSTYLE
        e.MoveTo(0, 1);
        e.LineTo(40, 1);
        const std::vector<uint32_t> px = Play(false, e.Bytes(), 40, 3);
        std::vector<int> full = runs;
        if (full.size() % 2)
            full.insert(full.end(), runs.begin(), runs.end());
        std::string got, want;
        for (int n = 0; n < 40; n++) {
            got += px[40 + n] == kInk ? '#' : '.';
            want += On(full, n) ? '#' : '.';
        }
        EXPECT_EQ(got, want);
    }
}

// A dashed pen three units wide made by CreatePen is geometric with round
// ends: the ends of its dashes (9 on, 3 off) meet along its middle row.
TEST(MetafilePenStyle, WideOldStylePensDashesMeetAlongTheMiddle)
{
    EmfBuilder e(0, 0, 39, 9);
    e.SetBkMode(1);
    e.Select(e.CreatePen(1, 3, kInkRef));
    e.MoveTo(0, 4);
    e.LineTo(40, 4);
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 40, 10);
    for (int x = 2; x < 38; x++)
        EXPECT_EQ(px[4 * 40 + x], kInk) << x;
}

// A geometric pen's user style is in logical units along the line: a pen
// four wide with runs of 8 on and 8 off draws dashes centred where the runs
// put them, each with its own round ends, and leaves the middle of each gap.
TEST(MetafilePenStyle, GeometricUserStyleCutsAWideLineIntoDashes)
{
    EmfBuilder e(0, 0, 47, 19);
    e.SelectExtPen(9, 0x10007, 4, 0, kInkRef, {8, 8});  // geometric, a user style
    e.MoveTo(0, 10);
    e.LineTo(48, 10);
    const std::vector<uint32_t> px = Play(false, e.Bytes(), 48, 20);
    std::string got;
    for (int x : {4, 12, 20, 28, 36, 44})
        got += px[size_t(10) * 48 + x] == kInk ? '#' : '.';
    EXPECT_EQ(got, "#.#.#.");
    for (int x : {4, 20, 36})
        EXPECT_EQ(px[size_t(8) * 48 + x], kInk) << x;  // four wide: rows 8 to 11
}


// A dashed wide line four thousand million units long across a small
// picture: the style steps over what lies off the canvas at once, so the
// play does the work of the dashes it shows, not of billions of them.
TEST(MetafilePenStyle, AFarLongDashedLineCostsOnlyWhatItShows)
{
    EmfBuilder e(0, 0, 47, 19);
    e.SelectExtPen(9, 0x10007, 4, 0, kInkRef, {1, 1});  // geometric, a user style
    e.MoveTo(-2000000000, 10);
    e.LineTo(2000000000, 10);
    e.Polyline({{-2000000000, -2000000000}, {2000000000, 2000000000}, {5, -2000000000}});
    const std::vector<uint8_t> bytes = e.Bytes();
    HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    ASSERT_NE(mf, nullptr);
    std::vector<uint32_t> px(48 * 20, kWhite);
    BufferCanvas canvas(px.data(), 48, 20, 48);
    PlayStats stats;
    win32metafile::Play(*Find(mf), canvas, RECT{0, 0, 48, 20}, &stats);
    DeleteEnhMetaFile(mf);
    EXPECT_EQ(stats.stopped, "");
    EXPECT_LT(stats.work, 2000000u);
    EXPECT_EQ(px[10 * 48 + 20], kInk);
}

}  // namespace
