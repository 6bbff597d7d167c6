// The metafile rasteriser's quick paths against plain ones, pixel for pixel:
// the fill against a fill that crosses and sorts every edge on every row, and
// wide lines drawn as runs against the same lines filled as one polygon set
// with a disc per join. Random polygons, polylines, arcs and curves of every
// size, pens from a pixel and a half to far wider than the canvas, points on
// and far off it, clipped and not.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "metafile_internal.h"
#include "metafile_raster.h"
#include "metafile_scan.h"

using namespace win32metafile;

namespace {

constexpr uint32_t kWhite = 0xFFFFFF;

struct Line {
    Figure points;
    bool closed = false;
    double width = 2;
};

class Random {
public:
    explicit Random(uint32_t seed) : m_engine(seed) {}
    double Real(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_engine); }
    int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_engine); }
    bool OneIn(int n) { return Int(1, n) == 1; }

    // Mostly on or near a canvas of size `side`, now and then far off or
    // at the clamp's edge; whole pixels as often as not, as mapped records
    // give them.
    double Coordinate(int side)
    {
        double v;
        switch (Int(0, 9)) {
        case 0:
            v = Real(-1e5, 1e5);
            break;
        case 1:
            v = Real(-3e7, 3e7);
            break;
        default:
            v = Real(-side, 2.0 * side);
            break;
        }
        return OneIn(2) ? std::floor(v) : v;
    }
    double Width()
    {
        switch (Int(0, 5)) {
        case 0:
            return Real(20, 60);
        case 1:
            return std::pow(10.0, Real(2, 8));  // wider than any canvas here
        default:
            return Real(1.5, 8);
        }
    }

private:
    std::mt19937 m_engine;
};

Line RandomLine(Random& r, int side)
{
    Line line;
    line.width = r.Width();
    line.closed = r.OneIn(3);
    switch (r.Int(0, 3)) {
    case 0: {  // an arc or a whole ellipse, small to huge
        const double cx = r.Coordinate(side), cy = r.Coordinate(side);
        const double radius = std::pow(10.0, r.Real(-1, 7));
        ArcPoints(cx, cy, radius * r.Real(0.2, 1), radius * r.Real(0.2, 1), r.Real(0, 7),
                  r.Real(-7, 7), line.points);
        break;
    }
    case 1: {  // a cubic curve
        line.points.push_back({r.Coordinate(side), r.Coordinate(side)});
        BezierPoints(line.points[0], {r.Coordinate(side), r.Coordinate(side)},
                     {r.Coordinate(side), r.Coordinate(side)},
                     {r.Coordinate(side), r.Coordinate(side)}, line.points);
        break;
    }
    default: {  // a polyline, with repeated points and tiny steps now and then
        const int n = r.Int(1, 8);
        for (int i = 0; i < n; i++) {
            if (i > 0 && r.OneIn(6)) {
                const PointD p = line.points.back();
                const double step = std::pow(10.0, r.Real(-9, -5));
                line.points.push_back({p.x + step * r.Real(-1, 1), p.y + step * r.Real(-1, 1)});
            } else {
                line.points.push_back({r.Coordinate(side), r.Coordinate(side)});
            }
        }
        break;
    }
    }
    return line;
}

// Up to three disjoint bands of the canvas, or no clip.
std::vector<RECT> RandomClip(Random& r, int w, int h)
{
    std::vector<RECT> clip;
    int top = 0;
    for (int i = r.Int(0, 3); i > 0 && top < h; i--) {
        const int bottom = r.Int(top + 1, h);
        const int left = r.Int(0, w - 1);
        clip.push_back({left, top, r.Int(left + 1, w), bottom});
        top = r.Int(bottom, h);
    }
    return clip;
}

std::string Describe(const Line& line, int w, int h)
{
    std::string s = std::to_string(w) + "x" + std::to_string(h) + " width " +
                    std::to_string(line.width) + (line.closed ? " closed" : " open") + ":";
    for (size_t i = 0; i < line.points.size() && i < 8; i++)
        s += " (" + std::to_string(line.points[i].x) + ", " + std::to_string(line.points[i].y) + ")";
    return s;
}

// Two white w x h canvases with the same clip, one for the quick path and
// one for the plain.
struct Pair {
    std::vector<uint32_t> quickPixels, plainPixels;
    BufferCanvas quickCanvas, plainCanvas;
    Raster quick, plain;

    Pair(int w, int h, const std::vector<RECT>& clip = {})
        : quickPixels(size_t(w) * h, kWhite), plainPixels(quickPixels),
          quickCanvas(quickPixels.data(), w, h, size_t(w)),
          plainCanvas(plainPixels.data(), w, h, size_t(w)), quick(quickCanvas), plain(plainCanvas)
    {
        if (!clip.empty()) {
            quick.SetClip(&clip);
            plain.SetClip(&clip);
        }
    }
    bool Same() const { return quickPixels == plainPixels; }
    bool QuickBlank() const { return quickPixels == std::vector<uint32_t>(quickPixels.size(), kWhite); }
};

// The fill as first written: every edge that crosses a row crossed, sorted
// and counted there.
void PlainFill(Raster& raster, const std::vector<Figure>& figures, bool winding, COLORREF colour)
{
    using namespace scan;
    struct Crossing {
        double x;
        int dir;
    };
    std::vector<Edge> edges;
    double top = kFar, bottom = -kFar;
    for (const Figure& f : figures) {
        if (Beside(f.data(), f.size(), raster.Width(), raster.Height()))
            continue;
        for (size_t i = 0; i < f.size(); i++) {
            const PointD a = f[i], b = f[(i + 1) % f.size()];
            Edge e;
            if (!Finite(a) || !Finite(b) || !MakeEdge(a, b, raster.Height(), e))
                continue;
            edges.push_back(e);
            top = std::min(top, e.y0);
            bottom = std::max(bottom, e.y1);
        }
    }
    const long firstRow = PixelAtOrRight(top, raster.Height());
    const long endRow = PixelAtOrRight(bottom, raster.Height());
    for (long y = firstRow; y < endRow && !edges.empty(); y++) {
        const double sy = y + 0.5;
        std::vector<Crossing> crossings;
        for (const Edge& e : edges) {
            if (Crosses(e, sy))
                crossings.push_back({CrossingX(e, sy), e.dir});
        }
        std::sort(crossings.begin(), crossings.end(),
                  [](const Crossing& a, const Crossing& b) { return a.x < b.x; });
        int count = 0;
        for (size_t i = 0; i + 1 < crossings.size(); i++) {
            count += winding ? crossings[i].dir : 1;
            if (winding ? count == 0 : (count & 1) == 0)
                continue;
            const long x0 = PixelAtOrRight(crossings[i].x, raster.Width());
            const long x1 = PixelAtOrRight(crossings[i + 1].x, raster.Width());
            if (x0 < x1)
                raster.Span((int)y, (int)x0, (int)x1, colour);
        }
    }
}

// A few figures of a few corners each, wherever Coordinate puts them; now
// and then a corner at infinity or not a number.
std::vector<Figure> RandomFigures(Random& r, int side)
{
    std::vector<Figure> figures(r.Int(1, 3));
    for (Figure& f : figures) {
        const int n = r.Int(1, 9);
        for (int i = 0; i < n; i++) {
            if (r.OneIn(150))
                f.push_back({r.OneIn(2) ? HUGE_VAL : NAN, r.Coordinate(side)});
            else
                f.push_back({r.Coordinate(side), r.Coordinate(side)});
        }
        if (r.OneIn(4)) {  // a flattened ellipse among them
            f.clear();
            const double radius = std::pow(10.0, r.Real(-1, 7));
            ArcPoints(r.Coordinate(side), r.Coordinate(side), radius, radius * r.Real(0.01, 1), 0,
                      2 * M_PI, f);
        }
    }
    return figures;
}

TEST(MetafileFill, DrawsWhatCrossingEveryEdgeDraws)
{
    Random r(7122026);
    int differing = 0;
    for (int round = 0; round < 3000 && differing < 3; round++) {
        const int w = r.Int(1, 40), h = r.Int(1, 40);
        const std::vector<Figure> figures = RandomFigures(r, std::max(w, h));
        const std::vector<RECT> clip = RandomClip(r, w, h);
        const bool winding = r.OneIn(2);
        Pair pair(w, h, clip);
        pair.quick.Fill(figures, winding, 0x654321);
        PlainFill(pair.plain, figures, winding, 0x654321);
        if (!pair.Same()) {
            differing++;
            ADD_FAILURE() << "round " << round << ": " << w << "x" << h << (winding ? " winding" : " alternate")
                          << ", first figure of " << figures[0].size() << " points at ("
                          << figures[0][0].x << ", " << figures[0][0].y << ")";
        }
    }
}

// A wide line drawn by runs paints the fill's pixels, under every end cap
// and join (half the rounds keep the round ones), the miter limit from a
// bevel at any bend to a miter at nearly any.
TEST(MetafileWideLine, RunsDrawWhatTheFillDraws)
{
    Random r(20261207);
    int byRuns = 0, declined = 0, differing = 0;
    for (int round = 0; round < 2000 && differing < 3; round++) {
        // Now and then a canvas large enough for a line's runs to be merged
        // before they are drawn.
        const int side = r.OneIn(25) ? 300 : 40;
        const int w = r.Int(1, side), h = r.Int(1, side);
        const Line line = RandomLine(r, std::max(w, h));
        LineShape shape;
        if (r.OneIn(2))
            shape = {r.Int(0, 2), r.Int(0, 2), r.OneIn(8) ? 1.0 : r.Real(1, 30)};
        Pair pair(w, h, RandomClip(r, w, h));
        pair.plain.SetLineShape(shape);
        pair.quick.SetLineShape(shape);
        pair.plain.WideLineByFill(line.points, line.closed, line.width, 0x123456);
        if (!pair.quick.WideLineByRuns(line.points, line.closed, line.width, 0x123456)) {
            declined++;
            EXPECT_TRUE(pair.QuickBlank()) << "drew before declining";
            continue;
        }
        byRuns++;
        if (!pair.Same()) {
            differing++;
            ADD_FAILURE() << "round " << round << ": cap " << shape.cap << ", join " << shape.join
                          << ", limit " << shape.miterLimit << ", " << Describe(line, w, h);
        }
    }
    // The runs decline only for a degenerate piece, which random lines
    // seldom make.
    EXPECT_GT(byRuns, 50 * declined) << byRuns << " by runs, " << declined << " declined";
}

// What the dispatcher draws, runs or not, is the fill's picture, for the
// lines the player meets most: flattened shapes under pens from thin to
// wider than the picture, on canvases from a pixel to where the runs of a
// line are merged more than once before they are drawn.
TEST(MetafileWideLine, ShapesOfEverySizeMatchTheFill)
{
    for (int side : {1, 2, 7, 16, 33, 200}) {
        for (double radius : {0.3, 2.0, 5.5, 40.0, 1e4, 1e7}) {
            for (double width : {1.5, 2.0, 3.0, 7.5, 64.0, 1e6}) {
                Figure points;
                ArcPoints(side / 2.0, side / 3.0, radius, radius * 0.6, 0.25, 2 * M_PI, points);
                Pair pair(side, side);
                pair.quick.WideLine(points, true, width, 0xABCDEF);
                pair.plain.WideLineByFill(points, true, width, 0xABCDEF);
                EXPECT_TRUE(pair.Same()) << side << " " << radius << " " << width;
            }
        }
    }
}

// A line whose pieces all turn the wrong way (a pen of negative width, which
// the player never asks for) is one the runs leave alone, untouched, and
// the fill draws.
TEST(MetafileWideLine, LinesTheRunsDeclineAreDrawnByTheFill)
{
    const Figure points = {{1, 1}, {9, 3}, {4, 8}};
    Pair pair(10, 10);
    EXPECT_FALSE(pair.quick.WideLineByRuns(points, false, -3, 0x00FF00));
    EXPECT_TRUE(pair.QuickBlank());
    pair.quick.WideLine(points, false, -3, 0x00FF00);
    pair.plain.WideLineByFill(points, false, -3, 0x00FF00);
    EXPECT_TRUE(pair.Same());
    EXPECT_FALSE(pair.QuickBlank());
}

}  // namespace
