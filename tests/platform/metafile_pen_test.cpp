// Pen widths, end caps and joins in the metafile player.
//
// Windows draws a pen of width 0, and every cosmetic pen of the extended
// call, one device pixel wide whatever the mapping; any other width is in
// logical units and goes through the mapping like the shapes it draws, so a
// width of 1 through a viewport ten times the window is ten pixels wide.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <functional>
#include <string>

#include "metafile_builder.h"
#include "metafile_pixels.h"

using namespace win32metafile;

namespace {

constexpr COLORREF kInkRef = 0x0000FF;  // red, canvas 0xFF0000
constexpr int kSide = 80;

constexpr int kGeometric = 0x10000;
constexpr int kCapSquare = 0x100, kCapFlat = 0x200;
constexpr int kJoinBevel = 0x1000, kJoinMiter = 0x2000;

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
                e.SelectExtPen(9, c.style, c.width, BS_SOLID, kInkRef);
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

namespace {

struct Pt {
    double x, y;
};

// A wide line's expected area as the union of convex polygons and discs,
// each pixel judged by its centre: surely inside when some piece holds it
// a hundredth of a pixel in from every edge, surely outside when every
// piece leaves it that far out; the pixels on an edge are not judged.
class Shape {
public:
    void Polygon(std::vector<Pt> p) { m_polygons.push_back(std::move(p)); }
    void Disc(Pt c, double r) { m_discs.push_back({c, r}); }

    // 1 surely in, -1 surely out, 0 on an edge.
    int Judge(Pt p) const
    {
        constexpr double kMargin = 0.01;
        bool unsure = false;
        for (const auto& poly : m_polygons) {
            double area = 0;
            for (size_t i = 0; i < poly.size(); i++) {
                const Pt a = poly[i], b = poly[(i + 1) % poly.size()];
                area += a.x * b.y - b.x * a.y;
            }
            double least = 1e300;  // the signed distance in from the nearest edge
            for (size_t i = 0; i < poly.size(); i++) {
                const Pt a = poly[i], b = poly[(i + 1) % poly.size()];
                const double len = std::hypot(b.x - a.x, b.y - a.y);
                const double in = ((b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x)) / len;
                least = std::min(least, area > 0 ? in : -in);
            }
            if (least > kMargin)
                return 1;
            unsure = unsure || least > -kMargin;
        }
        for (const auto& d : m_discs) {
            const double r = std::hypot(p.x - d.first.x, p.y - d.first.y);
            if (r < d.second - kMargin)
                return 1;
            unsure = unsure || r <= d.second + kMargin;
        }
        return unsure ? 0 : -1;
    }

private:
    std::vector<std::vector<Pt>> m_polygons;
    std::vector<std::pair<Pt, double>> m_discs;
};

Pt Unit(Pt a, Pt b)
{
    const double len = std::hypot(b.x - a.x, b.y - a.y);
    return {(b.x - a.x) / len, (b.y - a.y) / len};
}

// The shape of a polyline under a pen `width` wide: pixel centres are at
// +0.5, so the pen's centre runs through the points moved by half a pixel.
// Each segment a rectangle; a flat end stops at the point, a square end a
// half width past it, a round end is a disc. A round join is a disc; a
// bevel the triangle between the outer corners; a miter runs on to where
// the two outer edges meet, unless the miter (from the inner corner to the
// outer one) is longer than `limit` widths, when it is a bevel.
Shape Expected(std::vector<Pt> line, double width, int cap, int join, double limit)
{
    for (Pt& p : line)
        p = {p.x + 0.5, p.y + 0.5};
    const double h = width / 2;
    Shape s;
    for (size_t i = 0; i + 1 < line.size(); i++) {
        const Pt a = line[i], b = line[i + 1], d = Unit(a, b), n = {-d.y * h, d.x * h};
        s.Polygon({{a.x + n.x, a.y + n.y},
                   {b.x + n.x, b.y + n.y},
                   {b.x - n.x, b.y - n.y},
                   {a.x - n.x, a.y - n.y}});
    }
    for (size_t i = 1; i + 1 < line.size(); i++) {
        const Pt a = line[i - 1], b = line[i], c = line[i + 1];
        const Pt d = Unit(a, b), e = Unit(b, c);
        if (join == 0) {
            s.Disc(b, h);
            continue;
        }
        // The outer side is the one the line turns away from.
        const double side = d.x * e.y - d.y * e.x > 0 ? -1 : 1;
        const Pt p = {b.x - d.y * h * side, b.y + d.x * h * side};
        const Pt q = {b.x - e.y * h * side, b.y + e.x * h * side};
        // The outer edges p + s d and q - t e meet where p + s d = q - t e.
        const double det = d.x * -e.y + e.x * d.y;
        const double sAlong = ((q.x - p.x) * -e.y + e.x * (q.y - p.y)) / det;
        const Pt tip = {p.x + sAlong * d.x, p.y + sAlong * d.y};
        const Pt inner = {2 * b.x - tip.x, 2 * b.y - tip.y};
        const double miter = std::hypot(tip.x - inner.x, tip.y - inner.y);
        if (join == kJoinMiter && miter <= limit * width)
            s.Polygon({b, p, tip, q});
        else
            s.Polygon({b, p, q});
    }
    for (int end = 0; end < 2; end++) {
        const Pt p = end == 0 ? line.front() : line.back();
        const Pt d = end == 0 ? Unit(line[1], line[0]) : Unit(line[line.size() - 2], line.back());
        if (cap == 0)
            s.Disc(p, h);
        else if (cap == kCapSquare)
            s.Polygon({{p.x - d.y * h, p.y + d.x * h},
                       {p.x - d.y * h + d.x * h, p.y + d.x * h + d.y * h},
                       {p.x + d.y * h + d.x * h, p.y - d.x * h + d.y * h},
                       {p.x + d.y * h, p.y - d.x * h}});
    }
    return s;
}

constexpr int kCanvas = 64;

// The pixels the player draws for a polyline under an extended geometric
// pen, after `before` (a miter limit, say).
std::vector<uint32_t> DrawWide(const std::vector<MfPoint>& line, int style, int width,
                               const std::function<void(EmfBuilder&)>& before = {})
{
    EmfBuilder e(0, 0, kCanvas - 1, kCanvas - 1);
    if (before)
        before(e);
    e.SelectExtPen(9, kGeometric | style, width, BS_SOLID, kInkRef);
    e.Polyline(line);
    return PlayOnWhite(e.Bytes(), kCanvas, kCanvas, false);
}

// Pixels the player got wrong against the expected shape, and how many
// were judged.
void Compare(const std::vector<uint32_t>& px, const Shape& shape, size_t& wrong, size_t& judged)
{
    wrong = judged = 0;
    for (int y = 0; y < kCanvas; y++) {
        for (int x = 0; x < kCanvas; x++) {
            const int j = shape.Judge({x + 0.5, y + 0.5});
            if (j == 0)
                continue;
            judged++;
            wrong += (px[size_t(y) * kCanvas + x] != kWhite) != (j > 0);
        }
    }
}

struct ShapeCase {
    const char* name;
    int cap, join;
};
const ShapeCase kShapes[] = {
    {"round", 0, 0},
    {"square ends, bevel", kCapSquare, kJoinBevel},
    {"flat ends, miter", kCapFlat, kJoinMiter},
    {"square ends, miter", kCapSquare, kJoinMiter},
    {"flat ends, bevel", kCapFlat, kJoinBevel},
};

// Each end cap and join on a right angle, a sharp bend and a slanting
// zigzag, against the shape computed here: every pixel off an edge as the
// shape says.
TEST(MetafilePen, EndCapsAndJoinsCoverTheirShapes)
{
    const std::vector<std::vector<MfPoint>> lines = {
        {{8, 30}, {40, 30}, {40, 8}},
        {{6, 50}, {54, 50}, {14, 36}},
        {{10, 10}, {30, 50}, {50, 12}, {56, 40}},
    };
    for (const ShapeCase& c : kShapes) {
        for (size_t l = 0; l < lines.size(); l++) {
            SCOPED_TRACE(std::string(c.name) + ", line " + std::to_string(l));
            std::vector<Pt> pts;
            for (const MfPoint& p : lines[l])
                pts.push_back({double(p.x), double(p.y)});
            const std::vector<uint32_t> px = DrawWide(lines[l], c.cap | c.join, 9);
            size_t wrong = 0, judged = 0;
            Compare(px, Expected(pts, 9, c.cap, c.join, 10), wrong, judged);
            EXPECT_EQ(wrong, 0u);
            EXPECT_GT(judged, size_t(kCanvas * kCanvas) * 9 / 10);
        }
    }
}

// A flat end stops at the point, to the pixel: a line from x = 10 to 50
// eight wide covers columns 10 to 49 and rows 16 to 23, and nothing else. A
// square end reaches four pixels further either way; a round one stays
// within the pen's radius of the end.
TEST(MetafilePen, FlatAndSquareEndsExactly)
{
    for (int cap : {kCapFlat, kCapSquare}) {
        SCOPED_TRACE(cap == kCapFlat ? "flat" : "square");
        const std::vector<uint32_t> px = DrawWide({{10, 20}, {50, 20}}, cap, 8);
        const int x0 = cap == kCapFlat ? 10 : 6, x1 = cap == kCapFlat ? 50 : 54;
        size_t wrong = 0;
        for (int y = 0; y < kCanvas; y++) {
            for (int x = 0; x < kCanvas; x++) {
                const bool in = x >= x0 && x < x1 && y >= 16 && y < 24;
                wrong += (px[size_t(y) * kCanvas + x] != kWhite) != in;
            }
        }
        EXPECT_EQ(wrong, 0u);
    }
}

// The miter limit: a right angle's miter is the square root of two widths
// long, so under a limit of 1.2 (EMR_SETMITERLIMIT as the system writes it,
// a float) the corner is bevelled, and under 2 (as the format names it, an
// integer) mitred; the outer corner pixel tells them apart.
TEST(MetafilePen, MiterLimitBevelsLongMiters)
{
    const std::vector<MfPoint> corner = {{8, 30}, {40, 30}, {40, 8}};
    const std::vector<Pt> pts = {{8, 30}, {40, 30}, {40, 8}};
    struct Row {
        const char* name;
        int32_t field;
        double limit;
        bool mitred;
    } rows[] = {
        {"float 1.2", 0x3F99999A, 1.2, false},
        {"integer 2", 2, 2, true},
        {"default", 0, 10, true},  // a limit under 1 is refused: the default stays
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const std::vector<uint32_t> px = DrawWide(corner, kJoinMiter, 9, [&](EmfBuilder& e) {
            e.Record(58, {r.field});  // EMR_SETMITERLIMIT
        });
        size_t wrong = 0, judged = 0;
        Compare(px, Expected(pts, 9, 0, r.mitred ? kJoinMiter : kJoinBevel, r.limit), wrong,
                judged);
        EXPECT_EQ(wrong, 0u);
        // The outer corner (40.5 + 4.5, 30.5 + 4.5) is inked only by a miter.
        EXPECT_EQ(px[size_t(34) * kCanvas + 44] != kWhite, r.mitred);
    }
}

}  // namespace
