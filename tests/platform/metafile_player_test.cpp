// The metafile player: metafiles written record by record in both formats
// and played onto a plain block of pixels, compared pixel for pixel with
// what GDI's rules give. Curved edges are compared away from the edge only
// (a band of half a pixel either side is free), straight ones exactly.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <functional>
#include <string>

#include "metafile_builder.h"
#include "metafile_internal.h"
#include "metafile_pixels.h"
#include "metafile_readers.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kRed = 0xFF0000;    // as the canvas holds it: 0x00RRGGBB
constexpr uint32_t kBlue = 0x0000FF;
constexpr uint32_t kBlack = 0x000000;
constexpr COLORREF kRedRef = RGB(255, 0, 0);
constexpr COLORREF kBlueRef = RGB(0, 0, 255);
constexpr COLORREF kBlackRef = RGB(0, 0, 0);

enum Format { kWmf, kEmf };

// A picture of w x h pixels with the pixels a test cares about.
struct Picture {
    int w, h;
    std::vector<uint32_t> px;
    std::vector<bool> free;  // pixels on a curved edge: either colour will do
    Picture(int w_, int h_) : w(w_), h(h_), px(size_t(w_) * h_, kWhite), free(px.size(), false) {}
    void Set(int x, int y, uint32_t c)
    {
        if (x >= 0 && y >= 0 && x < w && y < h)
            px[size_t(y) * w + x] = c;
    }
    void Fill(int l, int t, int r, int b, uint32_t c)
    {
        for (int y = t; y < b; y++)
            for (int x = l; x < r; x++)
                Set(x, y, c);
    }
    // Pixels that must have colour c, edge or not.
    void Must(int l, int t, int r, int b, uint32_t c)
    {
        for (int y = t; y < b; y++)
            for (int x = l; x < r; x++) {
                Set(x, y, c);
                free[size_t(y) * w + x] = false;
            }
    }
    // Each pixel by its centre: the distance `inside` gives (negative
    // inside, in pixels) paints it, with a free band along the edge.
    void Shape(const std::function<double(double, double)>& inside, uint32_t c, double band = 0.5)
    {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const double d = inside(x + 0.5, y + 0.5);
                if (std::fabs(d) < band)
                    free[size_t(y) * w + x] = true;
                else if (d < 0)
                    Set(x, y, c);
            }
    }
};

// How far the point lies outside the ellipse of the box, roughly in pixels.
double EllipseDistance(double l, double t, double r, double b, double x, double y)
{
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    const double k = std::hypot((x - cx) / rx, (y - cy) / ry);
    return (k - 1) * std::min(rx, ry);
}

std::vector<uint8_t> Write(Format f, int w, int h, const std::function<void(MetafileWriter&)>& draw)
{
    if (f == kWmf) {
        WmfBuilder b;
        draw(b);
        return b.Bytes();
    }
    EmfBuilder b(0, 0, w - 1, h - 1);
    draw(b);
    return b.Bytes();
}

// Plays the bytes onto a white w x h block.
std::vector<uint32_t> Render(Format f, const std::vector<uint8_t>& bytes, int w, int h,
                             PlayStats* stats = nullptr, bool* ok = nullptr)
{
    return PlayOnWhite(bytes, w, h, f == kWmf, stats, ok);
}

std::string Diff(const Picture& want, const std::vector<uint32_t>& got)
{
    std::string out;
    int shown = 0;
    for (int y = 0; y < want.h; y++)
        for (int x = 0; x < want.w; x++) {
            const size_t i = size_t(y) * want.w + x;
            if (!want.free[i] && want.px[i] != got[i] && shown++ < 8) {
                char line[80];
                snprintf(line, sizeof(line), "(%d,%d) want %06X got %06X\n", x, y, want.px[i], got[i]);
                out += line;
            }
        }
    return out;
}

// Plays the bytes onto a block the size of `want` and expects its pixels,
// with every record known; the stats are the caller's to check further.
PlayStats ExpectPlays(Format f, const std::vector<uint8_t>& bytes, const Picture& want,
                      const std::string& name)
{
    PlayStats stats;
    const std::vector<uint32_t> got = Render(f, bytes, want.w, want.h, &stats);
    EXPECT_EQ(Diff(want, got), "") << name;
    EXPECT_EQ(stats.skipped, 0u) << name;
    return stats;
}

struct Scene {
    const char* name;
    int w, h;
    std::function<void(MetafileWriter&)> draw;
    std::function<void(Picture&, Format)> expect;
};

// A null pen and a solid brush of colour c selected.
void NoPenBrush(MetafileWriter& m, uint32_t c)
{
    m.Select(m.CreatePen(5, 0, 0));
    m.Select(m.CreateBrush(0, c));
}

const Scene kScenes[] = {
    {"RectanglePenAndBrush", 12, 10,
     [](MetafileWriter& m) {
         m.Select(m.CreatePen(0, 1, kBlackRef));
         m.Select(m.CreateBrush(0, kRedRef));
         m.Rectangle(2, 2, 8, 6);
     },
     [](Picture& p, Format) {
         p.Fill(2, 2, 8, 6, kBlack);
         p.Fill(3, 3, 7, 5, kRed);
     }},
    {"RectangleNullPen", 12, 10, [](MetafileWriter& m) { NoPenBrush(m, kRedRef), m.Rectangle(2, 2, 8, 6); },
     [](Picture& p, Format) { p.Fill(2, 2, 8, 6, kRed); }},
    {"RectangleCornersEitherWay", 12, 10,
     [](MetafileWriter& m) { NoPenBrush(m, kRedRef), m.Rectangle(8, 6, 2, 2); },
     [](Picture& p, Format) { p.Fill(2, 2, 8, 6, kRed); }},
    {"NullBrushDrawsOutlineOnly", 12, 10,
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(1, 0));
         m.Rectangle(2, 2, 8, 6);
     },
     [](Picture& p, Format) {
         p.Fill(2, 2, 8, 6, kBlack);
         p.Fill(3, 3, 7, 5, kWhite);
     }},
    {"LineLeavesOutItsLastPixel", 12, 10,
     [](MetafileWriter& m) {
         m.MoveTo(1, 1);
         m.LineTo(10, 1);
         m.MoveTo(1, 3);
         m.LineTo(6, 8);
     },
     [](Picture& p, Format) {
         p.Fill(1, 1, 10, 2, kBlack);
         for (int i = 0; i < 5; i++)
             p.Set(1 + i, 3 + i, kBlack);
     }},
    {"WidePenIsCentredOnTheLine", 16, 12,
     [](MetafileWriter& m) {
         m.Select(m.CreatePen(0, 3, kBlueRef));
         m.MoveTo(3, 5);
         m.LineTo(12, 5);
     },
     [](Picture& p, Format) {
         // A stadium of half-width 1.5 around (3.5, 5.5) - (12.5, 5.5).
         p.Shape(
             [](double x, double y) {
                 const double cx = std::max(3.5, std::min(12.5, x));
                 return std::hypot(x - cx, y - 5.5) - 1.5;
             },
             kBlue, 0.3);
     }},
    {"WidePenTurnsRoundItsCorners", 20, 20,
     [](MetafileWriter& m) {
         m.Select(m.CreatePen(0, 5, kBlueRef));
         m.Polyline({{4, 4}, {15, 4}, {15, 15}});
     },
     [](Picture& p, Format) {
         // Within 2.5 of either segment (pixel centres at +0.5).
         p.Shape(
             [](double x, double y) {
                 const double d1 = std::hypot(x - std::max(4.5, std::min(15.5, x)), y - 4.5);
                 const double d2 = std::hypot(x - 15.5, y - std::max(4.5, std::min(15.5, y)));
                 return std::min(d1, d2) - 2.5;
             },
             kBlue, 0.3);
     }},
    {"WidePenEllipseIsAWholeRing", 32, 32,
     [](MetafileWriter& m) {
         m.Select(m.CreatePen(0, 4, kBlueRef));
         m.Select(m.CreateBrush(1, 0));
         m.Ellipse(2, 2, 30, 30);
     },
     [](Picture& p, Format) {
         p.Shape([](double x, double y) { return std::fabs(std::hypot(x - 16, y - 16) - 13.5) - 2; }, kBlue,
                 0.3);
     }},
    {"PolygonFillsUpToItsRightAndBottomEdges", 14, 12,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.Polygon({{2, 2}, {10, 2}, {10, 8}, {2, 8}});
     },
     [](Picture& p, Format) { p.Fill(2, 2, 10, 8, kRed); }},
    {"PolygonOutlineRunsThroughItsCorners", 14, 12,
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(0, kRedRef));
         m.Polygon({{2, 2}, {10, 2}, {10, 8}, {2, 8}});
     },
     [](Picture& p, Format) {
         p.Fill(2, 2, 11, 9, kBlack);
         p.Fill(3, 3, 10, 8, kRed);
     }},
    {"Polyline", 12, 10, [](MetafileWriter& m) { m.Polyline({{1, 1}, {5, 1}, {5, 5}}); },
     [](Picture& p, Format) {
         p.Fill(1, 1, 6, 2, kBlack);
         p.Fill(5, 1, 6, 5, kBlack);
     }},
    {"PolyPolygonAlternateLeavesTheHole", 14, 14,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.PolyPolygon({{{1, 1}, {13, 1}, {13, 13}, {1, 13}}, {{4, 4}, {10, 4}, {10, 10}, {4, 10}}});
     },
     [](Picture& p, Format) {
         p.Fill(1, 1, 13, 13, kRed);
         p.Fill(4, 4, 10, 10, kWhite);
     }},
    {"PolyPolygonWindingFillsIt", 14, 14,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.SetPolyFillMode(2);
         m.PolyPolygon({{{1, 1}, {13, 1}, {13, 13}, {1, 13}}, {{4, 4}, {10, 4}, {10, 10}, {4, 10}}});
     },
     [](Picture& p, Format) { p.Fill(1, 1, 13, 13, kRed); }},
    {"Ellipse", 24, 18,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.Ellipse(2, 3, 22, 15);
     },
     [](Picture& p, Format) {
         p.Shape([](double x, double y) { return EllipseDistance(2, 3, 22, 15, x, y); }, kRed);
     }},
    {"RoundRect", 24, 18,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.RoundRect(2, 2, 22, 16, 8, 6);
     },
     [](Picture& p, Format) {
         p.Shape(
             [](double x, double y) {
                 // Corners are ellipses of radii 4 x 3 inside the box.
                 const double cx = std::max(6.0, std::min(18.0, x)), cy = std::max(5.0, std::min(13.0, y));
                 if (cx == x || cy == y)
                     return std::max(std::max(2 - x, x - 22), std::max(2 - y, y - 16));
                 return (std::hypot((x - cx) / 4, (y - cy) / 3) - 1) * 3;
             },
             kRed);
     }},
    {"PieTakesTheQuarterCounterClockwise", 20, 20,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.Arc(2, 0, 0, 20, 20, 20, 10, 10, 0);
     },
     [](Picture& p, Format) {
         p.Shape(
             [](double x, double y) {
                 const double d = EllipseDistance(0, 0, 20, 20, x, y);
                 return std::max(d, std::max(10 - x, y - 10));
             },
             kRed);
     }},
    {"ChordCutsAlongTheLine", 20, 20,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.Arc(1, 0, 0, 20, 20, 20, 10, 0, 10);  // the upper half
     },
     [](Picture& p, Format) {
         p.Shape(
             [](double x, double y) {
                 return std::max(EllipseDistance(0, 0, 20, 20, x, y), y - 10);
             },
             kRed);
     }},
    {"ArcDrawsOnlyTheCurve", 20, 20, [](MetafileWriter& m) { m.Arc(0, 0, 0, 20, 20, 20, 10, 0, 10); },
     [](Picture& p, Format) {
         // Along the upper half of the circle either colour will do; its
         // top is drawn; its inside and its lower half are not.
         p.Shape([](double x, double y) { return std::fabs(EllipseDistance(0, 0, 20, 20, x, y)) - 1.5; },
                 kWhite, 1.5);
         p.Must(0, 12, 20, 20, kWhite);
         p.Must(9, 0, 11, 1, kBlack);
     }},
    {"ColourAndModeRecordsChangeNoShape", 10, 10,
     [](MetafileWriter& m) {
         m.SetBkColor(kBlueRef);
         m.SetTextColor(kBlueRef);
         m.SetBkMode(1);  // transparent
         m.Select(m.CreatePen(5, 0, 0));
         m.Select(m.CreateBrush(2, kRedRef));  // hatched across, gaps left
         m.Rectangle(1, 1, 6, 6);
     },
     [](Picture& p, Format) { p.Fill(1, 3, 6, 4, kRed); }},
    {"SetPixel", 8, 8, [](MetafileWriter& m) { m.SetPixel(3, 4, kBlueRef); },
     [](Picture& p, Format) { p.Set(3, 4, kBlue); }},
    {"IntersectClipRect", 12, 12,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.IntersectClipRect(4, 4, 8, 8);
         m.Rectangle(0, 0, 12, 12);
     },
     [](Picture& p, Format) { p.Fill(4, 4, 8, 8, kRed); }},
    {"ExcludeClipRect", 12, 12,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.ExcludeClipRect(4, 4, 8, 8);
         m.Rectangle(0, 0, 12, 12);
     },
     [](Picture& p, Format) {
         p.Fill(0, 0, 12, 12, kRed);
         p.Fill(4, 4, 8, 8, kWhite);
     }},
    {"RestoreDcBringsBackClipAndBrush", 12, 12,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         const int blue = m.CreateBrush(0, kBlueRef);
         m.SaveDC();
         m.IntersectClipRect(4, 4, 8, 8);
         m.Select(blue);
         m.RestoreDC(-1);
         m.Rectangle(0, 0, 12, 6);
         m.SaveDC();
         m.SaveDC();
         m.Select(blue);
         m.IntersectClipRect(0, 0, 1, 1);
         m.RestoreDC(1);
         m.Rectangle(0, 6, 12, 12);
     },
     [](Picture& p, Format) { p.Fill(0, 0, 12, 12, kRed); }},
    {"LaterBrushWins", 10, 10,
     [](MetafileWriter& m) {
         m.Select(m.CreatePen(5, 0, 0));
         const int red = m.CreateBrush(0, kRedRef);
         const int blue = m.CreateBrush(0, kBlueRef);
         m.Select(red);
         m.Select(blue);
         m.Rectangle(1, 1, 5, 5);
         m.Select(red);
         m.Delete(blue);
         m.Rectangle(5, 5, 9, 9);
     },
     [](Picture& p, Format) {
         p.Fill(1, 1, 5, 5, kBlue);
         p.Fill(5, 5, 9, 9, kRed);
     }},
    {"AnisotropicScalesEachAxis", 30, 30,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.SetMapMode(8);
         m.SetWindowOrg(10, 10);
         m.SetWindowExt(10, 10);
         m.SetViewportOrg(0, 0);
         m.SetViewportExt(20, 30);
         m.Rectangle(11, 11, 13, 15);
     },
     [](Picture& p, Format) { p.Fill(2, 3, 6, 15, kRed); }},
    {"IsotropicKeepsTheAspect", 30, 30,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.SetMapMode(7);
         m.SetWindowExt(10, 10);
         m.SetViewportExt(40, 20);
         m.Rectangle(1, 1, 5, 5);
     },
     [](Picture& p, Format) { p.Fill(2, 2, 10, 10, kRed); }},
    {"TextModeWindowOrigin", 12, 12,
     [](MetafileWriter& m) {
         NoPenBrush(m, kRedRef);
         m.SetMapMode(1);
         m.SetWindowOrg(5, 5);
         m.SetWindowExt(100, 100);  // no effect in MM_TEXT
         m.Rectangle(5, 5, 8, 9);
     },
     [](Picture& p, Format) { p.Fill(0, 0, 3, 4, kRed); }},
    {"StretchDibDoublesEachPixel", 10, 10,
     [](MetafileWriter& m) {
         m.StretchDib(2, 2, 4, 4, 2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x000000});
     },
     [](Picture& p, Format) {
         p.Fill(2, 2, 4, 4, 0xFF0000);
         p.Fill(4, 2, 6, 4, 0x00FF00);
         p.Fill(2, 4, 4, 6, 0x0000FF);
         p.Fill(4, 4, 6, 6, 0x000000);
     }},
    {"StretchDibMirrored", 10, 10,
     // A width running back from x = 6 covers pixels 3 to 6, the origin's
     // pixel taking the source's first.
     [](MetafileWriter& m) { m.StretchDib(6, 2, -4, 2, 2, 1, {0xFF0000, 0x0000FF}); },
     [](Picture& p, Format) {
         p.Fill(3, 2, 5, 4, 0x0000FF);
         p.Fill(5, 2, 7, 4, 0xFF0000);
     }},
};

class PlayerScene : public ::testing::TestWithParam<std::tuple<size_t, Format>> {};

TEST_P(PlayerScene, RendersWhatGdiRulesGive)
{
    const Scene& s = kScenes[std::get<0>(GetParam())];
    const Format f = std::get<1>(GetParam());
    Picture want(s.w, s.h);
    s.expect(want, f);
    const PlayStats stats = ExpectPlays(f, Write(f, s.w, s.h, s.draw), want, s.name);
    EXPECT_EQ(stats.stopped, "") << s.name;
}

INSTANTIATE_TEST_SUITE_P(
    BothFormats, PlayerScene,
    ::testing::Combine(::testing::Range(size_t(0), sizeof(kScenes) / sizeof(kScenes[0])),
                       ::testing::Values(kWmf, kEmf)),
    [](const ::testing::TestParamInfo<std::tuple<size_t, Format>>& i) {
        return std::string(kScenes[std::get<0>(i.param)].name) +
               (std::get<1>(i.param) == kWmf ? "_Wmf" : "_Emf");
    });

// The fixed mapping modes: a square of `units` logical units, y upwards for
// all of them, lands as `emf` pixels on the 3.2 pixels a millimetre of the
// enhanced metafile's reference device and `wmf` on a 96 dpi screen.
TEST(MetafilePlayer, FixedMappingModesSizeByTheDevice)
{
    struct Case {
        int mode, units, emf, wmf;
    } cases[] = {
        {2, 100, 32, 38},   // 10 mm
        {3, 1000, 32, 38},  // 10 mm
        {4, 100, 81, 96},   // 1 inch
        {5, 1000, 81, 96},
        {6, 1440, 81, 96},
    };
    for (const Case& c : cases) {
        for (Format f : {kWmf, kEmf}) {
            auto draw = [&](MetafileWriter& m) {
                NoPenBrush(m, kRedRef);
                m.SetMapMode(c.mode);
                m.Rectangle(0, 0, c.units, -c.units);
            };
            const std::vector<uint32_t> got = Render(f, Write(f, 120, 120, draw), 120, 120);
            const int n = f == kEmf ? c.emf : c.wmf;
            Picture want(120, 120);
            want.Fill(0, 0, n, n, kRed);
            EXPECT_EQ(Diff(want, got), "") << "mode " << c.mode << (f == kEmf ? " emf" : " wmf");
        }
    }
}

// Records only an enhanced metafile has.
TEST(MetafilePlayer, EnhancedOnlyRecords)
{
    struct Case {
        const char* name;
        std::function<void(EmfBuilder&)> draw;
        std::function<void(Picture&)> expect;
    } cases[] = {
        {"stock objects",
         [](EmfBuilder& m) {
             m.SelectStock(8);  // NULL_PEN
             m.SelectStock(4);  // BLACK_BRUSH
             m.Rectangle(1, 1, 5, 5);
             m.SelectStock(2);  // GRAY_BRUSH
             m.Rectangle(5, 5, 9, 9);
         },
         [](Picture& p) {
             p.Fill(1, 1, 5, 5, kBlack);
             p.Fill(5, 5, 9, 9, 0x808080);
         }},
        {"16-bit polygon and polyline",
         [](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             m.Polygon16({{2, 2}, {8, 2}, {8, 6}, {2, 6}});
             m.Select(m.CreatePen(0, 0, kBlueRef));
             m.Polyline16({{0, 9}, {10, 9}});
         },
         [](Picture& p) {
             p.Fill(2, 2, 8, 6, kRed);
             p.Fill(0, 9, 10, 10, kBlue);
         }},
        {"16-bit poly-polygon",
         [](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             m.PolyPoly(91, {{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{6, 6}, {10, 6}, {10, 10}, {6, 10}}}, true);
         },
         [](Picture& p) {
             p.Fill(0, 0, 4, 4, kRed);
             p.Fill(6, 6, 10, 10, kRed);
         }},
        {"path filled",
         [](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             m.Record(59, {});  // BeginPath
             m.MoveTo(2, 2);
             m.LineTo(9, 2);
             m.LineTo(9, 7);
             m.LineTo(2, 7);
             m.Record(61, {});  // CloseFigure
             m.Record(60, {});  // EndPath
             m.Record(62, {0, 0, 0, 0});  // FillPath
         },
         [](Picture& p) { p.Fill(2, 2, 9, 7, kRed); }},
        {"path stroked and filled",
         [](EmfBuilder& m) {
             m.Select(m.CreateBrush(0, kRedRef));
             m.Record(59, {});
             m.Rectangle(2, 2, 9, 8);
             m.Record(60, {});
             m.Record(63, {0, 0, 0, 0});  // StrokeAndFillPath
         },
         [](Picture& p) {
             p.Fill(2, 2, 9, 8, kBlack);
             p.Fill(3, 3, 8, 7, kRed);
         }},
        {"path stroked, nothing filled",
         [](EmfBuilder& m) {
             m.Select(m.CreateBrush(0, kRedRef));
             m.Record(59, {});
             m.MoveTo(1, 1);
             m.LineTo(8, 1);
             m.Record(60, {});
             m.Record(64, {0, 0, 0, 0});  // StrokePath
         },
         [](Picture& p) { p.Fill(1, 1, 9, 2, kBlack); }},
        {"straight Bezier",
         [](EmfBuilder& m) {
             m.Poly(2, {{1, 5}, {4, 5}, {9, 5}, {12, 5}});
         },
         [](Picture& p) { p.Fill(1, 5, 13, 6, kBlack); }},
        {"Bezier to and polyline to from the current position",
         [](EmfBuilder& m) {
             m.MoveTo(1, 1);
             m.Poly(5, {{4, 1}, {7, 1}, {10, 1}});   // PolyBezierTo
             m.Poly(6, {{10, 6}});                   // PolylineTo
             m.LineTo(1, 6);
         },
         [](Picture& p) {
             p.Fill(1, 1, 11, 2, kBlack);
             p.Fill(10, 1, 11, 6, kBlack);
             p.Fill(2, 6, 11, 7, kBlack);
         }},
        {"poly-polylines and the 16-bit Bezier and line-to forms",
         [](EmfBuilder& m) {
             m.PolyPoly(7, {{{0, 0}, {4, 0}}, {{0, 2}, {4, 2}}}, false);
             m.PolyPoly(90, {{{0, 4}, {4, 4}}}, true);
             m.Poly(85, {{0, 6}, {1, 6}, {3, 6}, {4, 6}}, true);  // PolyBezier16
             m.MoveTo(0, 8);
             m.Poly(88, {{1, 8}, {3, 8}, {4, 8}}, true);  // PolyBezierTo16
             m.Poly(89, {{4, 11}}, true);                 // PolylineTo16
         },
         [](Picture& p) {
             for (int y : {0, 2, 4})
                 p.Fill(0, y, 4, y + 1, kBlack);
             p.Fill(0, 6, 5, 7, kBlack);
             p.Fill(0, 8, 5, 9, kBlack);
             p.Fill(4, 8, 5, 11, kBlack);
         }},
        {"clip region from rectangles, then lifted",
         [](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             std::vector<uint8_t> rgn;
             for (uint32_t v : {32u, 1u, 2u, 32u, 0u, 0u, 10u, 10u, 1u, 1u, 3u, 3u, 6u, 6u, 9u, 9u})
                 Put32(rgn, v);
             m.Record(75, {int32_t(rgn.size()), 5}, rgn);  // RGN_COPY
             m.Rectangle(0, 0, 10, 5);
             m.Record(75, {0, 5});
             m.Rectangle(0, 9, 10, 10);
         },
         [](Picture& p) {
             p.Fill(1, 1, 3, 3, kRed);
             p.Fill(0, 9, 10, 10, kRed);
         }},
        {"blit without a bitmap fills with the brush",
         [](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             // BitBlt: bounds, x, y, w, h, PATCOPY, then no source at all.
             m.Record(76, {0, 0, 0, 0, 2, 2, 3, 4, int32_t(0x00F00021), 0, 0, 1, 0, 0, 0, 1, 0, 0, 0,
                           0, 0, 0, 0});
         },
         [](Picture& p) { p.Fill(2, 2, 5, 6, kRed); }},
    };
    for (const Case& c : cases) {
        EmfBuilder b(0, 0, 13, 11);
        c.draw(b);
        Picture want(14, 12);
        c.expect(want);
        ExpectPlays(kEmf, b.Bytes(), want, c.name);
    }
}

// The blit records of both formats, each putting a 2 x 1 bitmap (red, blue)
// or the brush at (2, 2).
TEST(MetafilePlayer, BlitRecords)
{
    const std::vector<uint8_t> dib = PackedDib24(2, 1, {0xFF0000, 0x0000FF});
    const uint32_t dibBits = uint32_t(dib.size() - 40);
    const int srcCopy[2] = {0x0020, 0x00CC}, patCopy[2] = {0x0021, 0x00F0};
    struct Case {
        const char* name;
        std::function<void(WmfBuilder&)> wmf;
        std::function<void(EmfBuilder&)> emf;
        int w, h;  // the bitmap lands on (2, 2, 2 + w, 2 + h), its halves red and blue
        bool brush;
    } cases[] = {
        {"BitBlt",
         [&](WmfBuilder& m) { m.Record(0x0940, {srcCopy[0], srcCopy[1], 0, 0, 1, 2, 2, 2}, dib); },
         [&](EmfBuilder& m) {
             m.Record(76, {0, 0, 0, 0, 2, 2, 2, 1, int32_t(kRopSrcCopy), 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 100,
                           40, 140, int32_t(dibBits)},
                      dib);
         },
         2, 1, false},
        {"StretchBlt",
         [&](WmfBuilder& m) { m.Record(0x0B41, {srcCopy[0], srcCopy[1], 1, 2, 0, 0, 2, 4, 2, 2}, dib); },
         [&](EmfBuilder& m) {
             m.Record(77, {0, 0, 0, 0, 2, 2, 4, 2, int32_t(kRopSrcCopy), 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 108,
                           40, 148, int32_t(dibBits), 2, 1},
                      dib);
         },
         4, 2, false},
        {"SetDIBitsToDevice",
         [&](WmfBuilder& m) { m.Record(0x0D33, {0, 1, 0, 0, 0, 1, 2, 2, 2}, dib); },
         [&](EmfBuilder& m) {
             m.Record(80, {0, 0, 0, 0, 2, 2, 0, 0, 2, 1, 76, 40, 116, int32_t(dibBits), 0, 0, 1}, dib);
         },
         2, 1, false},
        {"PatBlt and a blit without a bitmap",
         [&](WmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             m.Record(0x061D, {patCopy[0], patCopy[1], 1, 4, 2, 2});
             m.Record(0x0940, {patCopy[0], patCopy[1], 0, 1, 4, 3, 2});
         },
         [&](EmfBuilder& m) {
             NoPenBrush(m, kRedRef);
             m.Record(76, {0, 0, 0, 0, 2, 2, 4, 2, int32_t(kRopPatCopy), 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0,
                           0, 0, 0});
         },
         4, 2, true},
    };
    for (const Case& c : cases) {
        for (Format f : {kWmf, kEmf}) {
            std::vector<uint8_t> bytes;
            if (f == kWmf) {
                WmfBuilder b;
                c.wmf(b);
                bytes = b.Bytes();
            } else {
                EmfBuilder b(0, 0, 9, 9);
                c.emf(b);
                bytes = b.Bytes();
            }
            Picture want(10, 10);
            want.Fill(2, 2, 2 + c.w / 2, 2 + c.h, kRed);
            want.Fill(2 + c.w / 2, 2, 2 + c.w, 2 + c.h, c.brush ? kRed : kBlue);
            ExpectPlays(f, bytes, want, std::string(c.name) + (f == kWmf ? " wmf" : " emf"));
        }
    }
}

// Origins offset and extents scaled, in both formats.
TEST(MetafilePlayer, OffsetAndScaleRecords)
{
    for (Format f : {kWmf, kEmf}) {
        auto draw = [f](MetafileWriter& m) {
            NoPenBrush(m, kRedRef);
            m.SetMapMode(MM_ANISOTROPIC);
            m.SetWindowExt(10, 10);
            m.SetViewportExt(10, 10);
            if (f == kWmf) {
                auto& w = static_cast<WmfBuilder&>(m);
                w.Record(0x0412, {1, 1, 1, 2});  // ScaleViewportExt: x 2/1, y 1/1 (listed y first)
                w.Record(0x0410, {2, 1, 1, 1});  // ScaleWindowExt: y 1/2
                w.Record(0x020F, {1, 1});        // OffsetWindowOrg (1, 1)
                w.Record(0x0211, {0, 2});        // OffsetViewportOrg (2, 0)
            } else {
                auto& e = static_cast<EmfBuilder&>(m);
                e.Record(31, {2, 1, 1, 1});  // ScaleViewportExtEx: x 2/1, y 1/1
                e.Record(32, {1, 1, 1, 2});  // ScaleWindowExtEx: y 1/2
                e.SetWindowOrg(1, 1);
                e.SetViewportOrg(2, 0);
            }
            m.Rectangle(1, 1, 3, 3);  // x: 2 + 2 * (x - 1); y: 2 * (y - 1)
        };
        Picture want(12, 12);
        want.Fill(2, 0, 6, 4, kRed);
        ExpectPlays(f, Write(f, 12, 12, draw), want, f == kWmf ? "wmf" : "emf");
    }
}

// The picture is fitted to the rectangle: the enhanced metafile's bounds
// (inclusive) fill it.
TEST(MetafilePlayer, EnhancedBoundsFitTheRectangle)
{
    EmfBuilder b(10, 20, 19, 29);  // 10 x 10 pixels from (10, 20)
    NoPenBrush(b, kRedRef);
    b.Rectangle(10, 20, 15, 25);
    const std::vector<uint8_t> bytes = b.Bytes();
    HENHMETAFILE mf = SetEnhMetaFileBits(UINT(bytes.size()), bytes.data());
    ASSERT_NE(mf, nullptr);
    std::vector<uint32_t> px(40 * 40, kWhite);
    BufferCanvas canvas(px.data(), 40, 40, 40);
    EXPECT_TRUE(Play(*Find(mf), canvas, RECT{0, 0, 20, 20}, nullptr));
    Picture want(40, 40);
    want.Fill(0, 0, 10, 10, kRed);
    EXPECT_EQ(Diff(want, px), "");
    DeleteEnhMetaFile(mf);
}

// What the player does not draw it skips and counts; what is damaged ends the
// play with a text, keeping what was drawn.
TEST(MetafilePlayer, SkipsAndCountsUnknownRecords)
{
    WmfBuilder w;
    NoPenBrush(w, kRedRef);
    w.Record(0x0999, {1});     // a function of no record
    w.Record(0x0001, {1, 0});  // nor this one
    w.Rectangle(0, 0, 2, 2);
    PlayStats ws;
    Render(kWmf, w.Bytes(), 4, 4, &ws);
    EXPECT_EQ(ws.skipped, 2u);
    EXPECT_EQ(ws.played, 6u);  // two creations, two selections, the rectangle, the end

    EmfBuilder e(0, 0, 3, 3);
    e.Record(84, {0, 0, 0, 0, 1, 0, 0});  // ExtTextOutW, cut short
    e.Record(200, {1});                   // a type of no record
    e.Record(123, {1});                   // past the last record type
    PlayStats es;
    Render(kEmf, e.Bytes(), 4, 4, &es);
    EXPECT_EQ(es.skipped, 3u);
    EXPECT_EQ(es.played, 2u);  // the header and the end
}

TEST(MetafilePlayer, DamagedRecordsEndThePlayWithAText)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> tail;
        const char* text;
    } cases[] = {
        {"wmf size 0", {0, 0, 0, 0, 0x1B, 0x04}, kStopTooShort},
        {"wmf past the end", {0x40, 0, 0, 0, 0x1B, 0x04, 1, 0}, kStopPastEnd},
        {"wmf size near 2^32 words", {0xFF, 0xFF, 0xFF, 0xFF, 0x1B, 0x04}, kStopPastEnd},
        {"emf size 0", {43, 0, 0, 0, 0, 0, 0, 0}, kStopTooShort},
        {"emf past the end", {43, 0, 0, 0, 0, 1, 0, 0}, kStopPastEnd},
        {"emf size near 2^32", {43, 0, 0, 0, 0xFC, 0xFF, 0xFF, 0xFF}, kStopPastEnd},
    };
    for (const Case& c : cases) {
        const bool wmf = c.name[0] == 'w';
        std::vector<uint8_t> bytes;
        if (wmf) {
            WmfBuilder b;
            NoPenBrush(b, kRedRef);
            b.Rectangle(0, 0, 2, 2);
            b.Raw(c.tail);
            bytes = b.Bytes();
            bytes.resize(bytes.size() - 6);  // the end record goes: the damage is last
            const uint32_t words = uint32_t(bytes.size() / 2);
            for (int i = 0; i < 4; i++)
                bytes[6 + i] = uint8_t(words >> (8 * i));
        } else {
            EmfBuilder b(0, 0, 3, 3);
            NoPenBrush(b, kRedRef);
            b.Rectangle(0, 0, 2, 2);
            b.Raw(c.tail);
            bytes = b.Bytes();
        }
        PlayStats stats;
        bool ok = true;
        const std::vector<uint32_t> got = Render(wmf ? kWmf : kEmf, bytes, 4, 4, &stats, &ok);
        EXPECT_FALSE(ok) << c.name;
        EXPECT_EQ(stats.stopped, c.text) << c.name;
        EXPECT_EQ(got[0], kRed) << c.name << ": what came before is kept";
    }
}

// Object indices past the table, and more objects than it holds, are
// refused without touching anything else.
TEST(MetafilePlayer, ObjectTablesNeverIndexPastTheirSize)
{
    WmfBuilder w(2);  // two slots
    w.Record(0x02FC, {0, 0x00FF, 0, 0});  // red brush: slot 0
    w.Record(0x02FC, {0, 0, 0x00FF, 0});  // blue brush: slot 1
    w.Record(0x02FC, {0, 0xFF00, 0, 0});  // green: no room, lost
    w.Record(0x012D, {0});
    w.Record(0x012D, {2});      // nothing there
    w.Record(0x012D, {0x7FFF});  // far past the table
    w.Record(0x01F0, {0x7FFF});
    w.Rectangle(0, 0, 4, 4);
    PlayStats ws;
    std::vector<uint32_t> got = Render(kWmf, w.Bytes(), 4, 4, &ws);
    EXPECT_EQ(got[5], kRed);
    EXPECT_EQ(ws.skipped, 3u);

    EmfBuilder e(0, 0, 3, 3, 2);  // slots 0 (reserved) and 1
    e.Record(39, {1, 0, int32_t(kRedRef), 0});
    e.Record(39, {2, 0, int32_t(kBlueRef), 0});  // past the table
    e.Record(39, {-1, 0, int32_t(kBlueRef), 0});
    e.Select(1);
    e.Select(2);
    e.Select(0x7FFFFFFF);
    e.Delete(0x40000000);
    e.Rectangle(0, 0, 4, 4);
    PlayStats es;
    got = Render(kEmf, e.Bytes(), 4, 4, &es);
    EXPECT_EQ(got[5], kRed);
    EXPECT_EQ(es.skipped, 5u);
}

// A header may ask for the largest table and use only its far end: slots
// never filled are empty, a freed slot is the first filled again, and a
// full table loses what comes next.
TEST(MetafilePlayer, ObjectTablesFillFromTheirFirstFreeSlot)
{
    EmfBuilder e(0, 0, 3, 3, 0xFFFF);
    e.Record(39, {0xFFFE, 0, int32_t(kRedRef), 0});
    e.Select(40000);  // never filled: skipped
    e.Delete(50000);  // never filled: nothing to delete
    e.Select(0xFFFE);
    e.Rectangle(0, 0, 4, 4);
    PlayStats es;
    std::vector<uint32_t> got = Render(kEmf, e.Bytes(), 4, 4, &es);
    EXPECT_EQ(got[5], kRed);
    EXPECT_EQ(es.skipped, 1u);

    WmfBuilder w(3);
    w.Record(0x02FC, {0, 0x00FF, 0, 0});  // red: slot 0
    w.Record(0x02FC, {0, 0, 0x00FF, 0});  // blue: slot 1
    w.Record(0x01F0, {0});                // slot 0 free again
    w.Record(0x02FC, {0, 0, 0, 0});       // black: slot 0
    w.Record(0x02FC, {0, 0xFF00, 0, 0});  // green: slot 2
    w.Record(0x02FC, {0, 0x00FF, 0, 0});  // no room: lost
    w.Record(0x012D, {0});
    w.Rectangle(0, 0, 4, 4);
    w.Record(0x012D, {2});
    w.Rectangle(4, 0, 8, 4);
    w.Record(0x012D, {1});
    w.Rectangle(8, 0, 12, 4);
    got = Render(kWmf, w.Bytes(), 12, 4);
    EXPECT_EQ(got[1 * 12 + 1], kBlack);
    EXPECT_EQ(got[1 * 12 + 5], 0x00FF00u);
    EXPECT_EQ(got[1 * 12 + 9], kBlue);
}

// Far-away and huge coordinates cost no more than ones on the canvas and
// draw what lies on it.
TEST(MetafilePlayer, HugeCoordinatesStayCheap)
{
    EmfBuilder e(0, 0, 9, 9);
    NoPenBrush(e, kRedRef);
    e.Rectangle(-2000000000, -2000000000, 2000000000, 5);
    e.Select(e.CreatePen(0, 0, kBlueRef));
    e.MoveTo(-2000000000, 7);
    e.LineTo(2000000000, 7);
    e.Ellipse(-2000000000, -2000000000, 2000000000, 2000000000);
    e.Select(e.CreatePen(0, 2000000000, kBlueRef));
    e.MoveTo(-50, 50);
    e.LineTo(-40, 60);
    const std::vector<uint32_t> got = Render(kEmf, e.Bytes(), 10, 10);
    EXPECT_EQ(got[0], kBlue);  // the wide pen covers everything at the end
}

}  // namespace
