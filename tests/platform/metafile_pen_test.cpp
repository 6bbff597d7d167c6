// Pen widths, end caps and joins in the metafile player.
//
// Windows draws a pen of width 0, and every cosmetic pen of the extended
// call, one device pixel wide whatever the mapping; any other width is in
// logical units and goes through the mapping like the shapes it draws, so a
// width of 1 through a viewport ten times the window is ten pixels wide.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "metafile_builder.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr COLORREF kInkRef = 0x0000FF;  // red, canvas 0xFF0000
constexpr int kSide = 80;

// EMR_EXTCREATEPEN into `slot`: no bitmap, a solid brush, no user style.
void ExtPen(EmfBuilder& e, int slot, int style, int width)
{
    e.Record(95, {slot, 0, 0, 0, 0, style, width, 0, int32_t(kInkRef), 0, 0});
}

// The rows of column x that hold ink.
int InkInColumn(const std::vector<uint32_t>& px, int x)
{
    int n = 0;
    for (int y = 0; y < kSide; y++)
        n += px[size_t(y) * kSide + x] != kWhite;
    return n;
}

struct PenCase {
    const char* name;
    bool wmf;
    bool extended;
    int style;  // with PS_GEOMETRIC for an extended geometric pen
    int width;
    int pixels;  // the line's thickness on the canvas
};

// A horizontal line from logical (1, 4) to (7, 4) through a viewport ten
// times the window: canvas row 40, so an n-pixel pen covers n rows centred
// on it (rows 40 - n / 2 .. 40 + (n - 1) / 2).
TEST(MetafilePen, WidthsThroughATenfoldViewport)
{
    const PenCase cases[] = {
        {"CreatePen 0", false, false, 0, 0, 1},
        {"CreatePen 1", false, false, 0, 1, 10},
        {"CreatePen 2", false, false, 0, 2, 20},
        {"META_CREATEPENINDIRECT 0", true, false, 0, 0, 1},
        {"META_CREATEPENINDIRECT 1", true, false, 0, 1, 10},
        {"cosmetic extended 1", false, true, 0, 1, 1},
        {"cosmetic extended 5", false, true, 0, 5, 1},
        {"geometric extended 1", false, true, 0x10000, 1, 10},
        {"geometric extended 3", false, true, 0x10000, 3, 30},
    };
    for (const PenCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto draw = [&](MetafileWriter& m) {
            m.SetMapMode(MM_ANISOTROPIC);
            m.SetWindowExt(1, 1);
            m.SetViewportExt(10, 10);
            if (c.extended) {
                auto& e = static_cast<EmfBuilder&>(m);
                ExtPen(e, 9, c.style, c.width);
                e.Select(9);
            } else {
                m.Select(m.CreatePen(c.style, c.width, kInkRef));
            }
            m.MoveTo(1, 4);
            m.LineTo(7, 4);
        };
        std::vector<uint8_t> bytes;
        if (c.wmf) {
            WmfBuilder w;
            draw(w);
            bytes = w.Bytes();
        } else {
            EmfBuilder e(0, 0, kSide - 1, kSide - 1);
            draw(e);
            bytes = e.Bytes();
        }
        const std::vector<uint32_t> px = PlayOnWhite(bytes, kSide, kSide, c.wmf);
        EXPECT_EQ(InkInColumn(px, 40), c.pixels);
        EXPECT_NE(px[size_t(40 - c.pixels / 2) * kSide + 40], kWhite);
        EXPECT_NE(px[size_t(40 + (c.pixels - 1) / 2) * kSide + 40], kWhite);
    }
}

}  // namespace
