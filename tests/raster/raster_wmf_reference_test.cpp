// The WMF codec against independent tools. libwmf's wmf2gd turns the same
// placeable metafiles into PNG, and both pictures are compared at low
// resolution (the average colour of each cell of a 16 x 12 grid). fig2dev
// writes enhanced metafiles of its own from drawings, and also draws those
// drawings as PNG: each colour must cover about the same share of both
// pictures, about the same place.
//
// The scenes keep to straight edges on the grid: wmf2gd fills no ellipses
// and draws arcs and pies its own way, so curves are left to the exact-pixel
// tests. Each scene first fills the whole picture, because wmf2gd sizes its
// output by what is drawn (at 72 dpi, three quarters of our 96).
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>

#include <raster.h>
#include <wmf.h>

#include "magick.h"
#include "metafile_builder.h"
#include "test_files.h"

namespace {

constexpr int kW = 160, kH = 120;
constexpr int kCellsX = 16, kCellsY = 12;
// Largest difference of any channel of a cell's average colour: an edge on
// a cell boundary may fall a pixel apart in the two pictures; a wrong colour
// or shape differs by far more.
constexpr int kTolerance = 72;

bool HaveWmf2gd()
{
    static const bool have = HaveTool("command -v wmf2gd");
    return have;
}

struct Rgb {
    double r = 0, g = 0, b = 0;
};

// The average colour of cell (cx, cy) of the grid over the picture.
Rgb Cell(const RasterImage& img, int cx, int cy)
{
    const long w = img.GetWidth(), h = img.GetHeight();
    const long x0 = cx * w / kCellsX, x1 = (cx + 1) * w / kCellsX;
    const long y0 = cy * h / kCellsY, y1 = (cy + 1) * h / kCellsY;
    Rgb sum;
    long n = 0;
    for (long y = y0; y < y1; y++)
        for (long x = x0; x < x1; x++) {
            const RGBQUAD q = img.GetPixelColor(x, h - 1 - y, false);
            sum.r += q.rgbRed;
            sum.g += q.rgbGreen;
            sum.b += q.rgbBlue;
            n++;
        }
    if (n > 0) {
        sum.r /= n;
        sum.g /= n;
        sum.b /= n;
    }
    return sum;
}

// Fills the picture in pale yellow with no outline, then leaves a null pen
// and the default of no other object selected.
void Ground(MetafileWriter& m)
{
    m.SetMapMode(MM_ANISOTROPIC);
    m.SetWindowOrg(0, 0);
    m.SetWindowExt(kW, kH);
    m.Select(m.CreatePen(PS_NULL, 0, 0));
    m.Select(m.CreateBrush(BS_SOLID, RGB(255, 255, 204)));
    m.Rectangle(0, 0, kW, kH);
}

struct Scene {
    const char* name;
    std::function<void(MetafileWriter&)> draw;
};

const Scene kScenes[] = {
    {"rectangles",
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
         m.Rectangle(20, 20, 80, 60);
         m.Select(m.CreateBrush(BS_SOLID, RGB(0, 0, 255)));
         m.Rectangle(90, 50, 150, 110);
     }},
    {"polygons",
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(BS_SOLID, RGB(0, 160, 0)));
         m.Polygon({{10, 10}, {70, 10}, {70, 110}, {10, 110}});
         m.Polygon({{90, 10}, {150, 10}, {150, 50}, {120, 50}, {120, 110}, {90, 110}});
     }},
    {"poly-polygon with a hole",
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(BS_SOLID, RGB(128, 0, 128)));
         m.PolyPolygon({{{20, 20}, {140, 20}, {140, 100}, {20, 100}}, {{50, 40}, {110, 40}, {110, 80}, {50, 80}}});
     }},
    {"window origin and extent",
     [](MetafileWriter& m) {
         m.SetWindowOrg(-100, -100);
         m.SetWindowExt(kW * 2, kH * 2);
         m.Select(m.CreateBrush(BS_SOLID, RGB(255, 128, 0)));
         m.Rectangle(-60, -60, 60, 20);
     }},
    {"clip rectangles",
     [](MetafileWriter& m) {
         m.Select(m.CreateBrush(BS_SOLID, RGB(255, 0, 0)));
         m.IntersectClipRect(20, 20, 140, 100);
         m.ExcludeClipRect(60, 40, 100, 80);
         m.Rectangle(0, 0, kW, kH);
     }},
    {"saved and restored state",
     [](MetafileWriter& m) {
         m.SaveDC();
         m.Select(m.CreateBrush(BS_SOLID, RGB(0, 0, 255)));
         m.IntersectClipRect(0, 0, 80, 60);
         m.Rectangle(0, 0, kW, kH);
         m.RestoreDC(-1);
         m.Rectangle(100, 80, 140, 110);  // the ground's colour again: nothing shows
         m.Select(m.CreateBrush(BS_SOLID, RGB(0, 0, 0)));
         m.Rectangle(100, 20, 140, 40);
     }},
    {"bitmap stretched",
     [](MetafileWriter& m) {
         // Quarters of four colours: wmf2gd blends neighbouring pixels where
         // GDI takes the nearest, so the seams are kept narrow.
         std::vector<uint32_t> px(16 * 16);
         for (int y = 0; y < 16; y++)
             for (int x = 0; x < 16; x++)
                 px[y * 16 + x] = y < 8 ? (x < 8 ? 0xFF0000 : 0x00FF00) : (x < 8 ? 0x0000FF : 0x000000);
         m.StretchDib(40, 30, 80, 60, 16, 16, px);
     }},
};

class WmfReference : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        if (!HaveWmf2gd())
            GTEST_SKIP() << "wmf2gd (libwmf-bin) is not installed";
    }
};

TEST_P(WmfReference, LooksLikeItsRasterisation)
{
    const Scene& s = kScenes[GetParam()];
    WmfBuilder b;
    Ground(b);
    s.draw(b);
    const Bytes file = b.Placeable(0, 0, kW, kH, 96);

    TempDir tmp("kestrel-wmf");
    WriteFile(tmp.Path("in.wmf"), file);
    ASSERT_TRUE(RunQuiet("wmf2gd -t png -o " + tmp.Path("out.png") + " " + tmp.Path("in.wmf") +
                         " >/dev/null"))
        << s.name;
    RasterImage theirs;
    ASSERT_TRUE(theirs.Load(tmp.Path("out.png").c_str(), RASTER_FORMAT_PNG)) << theirs.GetLastError();

    RasterImage ours;
    Bytes bytes = file;
    ASSERT_TRUE(ours.Decode(bytes.data(), DWORD(bytes.size()), RASTER_FORMAT_WMF)) << ours.GetLastError();
    ASSERT_EQ(ours.GetWidth(), DWORD(kW));
    ASSERT_EQ(ours.GetHeight(), DWORD(kH));

    int worst = 0;
    std::string where;
    for (int cy = 0; cy < kCellsY; cy++)
        for (int cx = 0; cx < kCellsX; cx++) {
            const Rgb a = Cell(ours, cx, cy), t = Cell(theirs, cx, cy);
            const int d = int(std::max({std::abs(a.r - t.r), std::abs(a.g - t.g), std::abs(a.b - t.b)}));
            if (d > worst) {
                worst = d;
                where = std::to_string(cx) + "," + std::to_string(cy);
            }
        }
    EXPECT_LE(worst, kTolerance) << s.name << ": worst cell " << where;
}

INSTANTIATE_TEST_SUITE_P(Scenes, WmfReference,
                         ::testing::Range(size_t(0), sizeof(kScenes) / sizeof(kScenes[0])));

// What a colour covers of a picture: its share of the pixels and their
// centre, as fractions of the picture's width and height.
struct Coverage {
    double share = 0, x = 0, y = 0;
};

Coverage Cover(const RasterImage& img, uint32_t rgb)
{
    const long w = img.GetWidth(), h = img.GetHeight();
    Coverage c;
    long n = 0;
    for (long y = 0; y < h; y++)
        for (long x = 0; x < w; x++) {
            const RGBQUAD q = img.GetPixelColor(x, h - 1 - y, false);
            if (((uint32_t(q.rgbRed) << 16) | (uint32_t(q.rgbGreen) << 8) | q.rgbBlue) != rgb)
                continue;
            n++;
            c.x += x + 0.5;
            c.y += y + 0.5;
        }
    if (n > 0) {
        c.share = double(n) / (w * h);
        c.x /= n * double(w);
        c.y /= n * double(h);
    }
    return c;
}

// Drawings in fig2dev's own text format (1200 units an inch): each filled
// in red (colour 4), blue (1) or green (2), outlined in black. (No arcs:
// fig2dev's pictures and its metafiles turn them opposite ways.)
const char* const kFigures[] = {
    // a box, a circle, a long bar
    "2 2 0 1 0 4 50 -1 20 0.000 0 0 -1 0 0 5\n 600 600 2400 600 2400 1800 600 1800 600 600\n"
    "1 3 0 1 0 1 50 -1 20 0.000 1 0.0000 3600 1800 600 600 3600 1800 4200 1800\n"
    "2 2 0 0 0 2 50 -1 20 0.000 0 0 -1 0 0 5\n 300 2700 4500 2700 4500 3300 300 3300 300 2700\n",
    // a triangle, an ellipse, a wide line
    "2 3 0 1 0 4 50 -1 20 0.000 0 0 -1 0 0 4\n 600 2400 1800 300 3000 2400 600 2400\n"
    "1 1 0 1 0 1 50 -1 20 0.000 1 0.0000 4200 1500 900 500 4200 1500 5100 1500\n"
    "2 1 0 60 2 7 50 -1 -1 0.000 0 0 -1 0 0 2\n 600 3000 5100 3000\n",
    // a pentagon, a wide spline, a triangle and a word (not drawn)
    "2 3 0 1 0 4 50 -1 20 0.000 0 0 -1 0 0 6\n 1800 600 3000 1400 2600 2000 1000 2000 600 1400 1800 600\n"
    "3 2 0 12 2 7 50 -1 -1 0.000 0 0 0 4\n 3600 600 4200 1800 4800 600 5400 1800\n"
    " 0.000 -1.000 -1.000 0.000\n"
    "2 3 0 1 0 1 50 -1 20 0.000 0 0 -1 0 0 4\n 600 2400 1800 3300 3000 2400 600 2400\n"
    "4 0 0 50 -1 0 12 0.0000 4 135 390 3600 3000 Hello\\001\n",
};

class Fig2devReference : public ::testing::TestWithParam<size_t> {
protected:
    void SetUp() override
    {
        if (!HaveTool("command -v fig2dev"))
            GTEST_SKIP() << "fig2dev is not installed";
    }
};

TEST_P(Fig2devReference, ItsMetafilesLookLikeItsPictures)
{
    TempDir tmp("kestrel-fig");
    const std::string fig = std::string("#FIG 3.2\nLandscape\nCenter\nInches\nLetter\n100.00\nSingle\n-2\n1200 2\n") +
                            kFigures[GetParam()];
    WriteFile(tmp.Path("in.fig"), Bytes(fig.begin(), fig.end()));
    ASSERT_TRUE(RunQuiet("fig2dev -L emf " + tmp.Path("in.fig") + " " + tmp.Path("out.emf")));
    ASSERT_TRUE(RunQuiet("fig2dev -L png -m 1 " + tmp.Path("in.fig") + " " + tmp.Path("out.png")));
    RasterImage theirs;
    ASSERT_TRUE(theirs.Load(tmp.Path("out.png").c_str(), RASTER_FORMAT_PNG)) << theirs.GetLastError();

    // Ours at their picture's size.
    Bytes emf = ReadFile(tmp.Path("out.emf"));
    ASSERT_FALSE(emf.empty());
    RasterMemFile stream(emf.data(), DWORD(emf.size()));
    RasterImageWMF ours;
    ASSERT_TRUE(ours.Decode(&stream, long(theirs.GetWidth()), long(theirs.GetHeight())))
        << ours.GetLastError();

    for (uint32_t colour : {0xFF0000u, 0x0000FFu, 0x00FF00u}) {
        const Coverage a = Cover(ours, colour), t = Cover(theirs, colour);
        ASSERT_GT(t.share, 0.01) << std::hex << colour;
        EXPECT_NEAR(a.share, t.share, t.share * 0.2) << std::hex << colour;
        EXPECT_NEAR(a.x, t.x, 0.04) << std::hex << colour;
        EXPECT_NEAR(a.y, t.y, 0.04) << std::hex << colour;
    }
}

INSTANTIATE_TEST_SUITE_P(Drawings, Fig2devReference,
                         ::testing::Range(size_t(0), sizeof(kFigures) / sizeof(kFigures[0])));

}  // namespace
